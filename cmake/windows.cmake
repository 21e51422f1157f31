# The Windows (x64) build with mingw-w64 (cmake/mingw-w64-x86_64.cmake): the
# dependencies are static libraries (scripts/windows-deps.sh), and so are
# the GCC runtime and winpthreads, so a host ships one DLL and no runtime
# DLLs beside it.
add_link_options(-static)
# Hosts name the library kxdatapackage.dll, without the "lib" of GCC's
# convention, and link the import library kxdatapackage.lib.
set(CMAKE_SHARED_LIBRARY_PREFIX "")
set(CMAKE_IMPORT_LIBRARY_PREFIX "")
set(CMAKE_IMPORT_LIBRARY_SUFFIX ".lib")
set(OPENSSL_USE_STATIC_LIBS TRUE)
# Paths reach the Windows API as UTF-16 (the W functions), never through
# the ANSI code page.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
# printf and friends are MinGW's C99 ones (%zu, %lld), in C as in C++.
add_compile_definitions(__USE_MINGW_ANSI_STDIO=1)
