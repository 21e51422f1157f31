# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (the posix
# threads variant, which std::thread and std::mutex need). Libraries are
# looked up only in KX_WINDOWS_PREFIX, where scripts/windows-deps.sh builds
# them; programs built here run under wine64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KX_MINGW x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${KX_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KX_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${KX_MINGW}-windres)
set(CMAKE_AR ${KX_MINGW}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${KX_MINGW}-gcc-ranlib-posix CACHE FILEPATH "")

if(NOT KX_WINDOWS_PREFIX AND DEFINED ENV{KX_WINDOWS_PREFIX})
  set(KX_WINDOWS_PREFIX $ENV{KX_WINDOWS_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${KX_MINGW} ${KX_WINDOWS_PREFIX})
set(CMAKE_PREFIX_PATH ${KX_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config reads only the prefix's own .pc files.
if(KX_WINDOWS_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} ${KX_WINDOWS_PREFIX}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
endif()
# Tests, test discovery and the configuration builder run under wine64.
find_program(KX_WINE64 NAMES wine64 wine PATHS /usr/lib/wine)
if(KX_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KX_WINE64})
endif()
