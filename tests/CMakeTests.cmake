# The descriptor table's test reads kxpackage's knowledge of the data types.
if(TARGET data_type_descriptor_test)
  target_sources(data_type_descriptor_test PRIVATE
    ${CMAKE_SOURCE_DIR}/tools/kxpackage/android_types.cpp
    ${CMAKE_SOURCE_DIR}/tools/kxpackage/ios_types.cpp
    ${CMAKE_SOURCE_DIR}/tools/kxpackage/data_type_names.cpp)
  target_include_directories(data_type_descriptor_test PRIVATE ${CMAKE_SOURCE_DIR})
endif()

# Tests of the shared library as a host sees it (not repeated under
# ThreadSanitizer, which only runs the concurrency tests).
if(KX_SANITIZE STREQUAL "thread")
  return()
endif()

# The plain-C host: only the public header and the shared library.
add_executable(c_api_test ${CMAKE_CURRENT_SOURCE_DIR}/c_api_test.c)
target_include_directories(c_api_test PRIVATE ${CMAKE_SOURCE_DIR}/include)
target_link_libraries(c_api_test PRIVATE kxdatapackage)
add_dependencies(c_api_test kx_config)
add_test(NAME c_api_test COMMAND c_api_test ${CMAKE_BINARY_DIR} ${CMAKE_CURRENT_BINARY_DIR}
  $<TARGET_FILE:kxdatapackage>)
set_tests_properties(c_api_test PROPERTIES ENVIRONMENT "TZ=UTC")

# The shared library exports the six functions and nothing else: in the
# dynamic symbol table, or in the DLL's export table.
if(WIN32)
  find_program(KX_OBJDUMP ${KX_MINGW}-objdump)
  if(KX_OBJDUMP)
    add_test(NAME exported_symbols_test
      COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${KX_OBJDUMP} -DLIBRARY=$<TARGET_FILE:kxdatapackage>
              -P ${CMAKE_CURRENT_SOURCE_DIR}/check_exports.cmake)
    # Run by CMake on this machine, not by the emulator.
    set_tests_properties(exported_symbols_test PROPERTIES CROSSCOMPILING_EMULATOR "")
  endif()
else()
  find_program(KX_NM nm)
  if(KX_NM)
    add_test(NAME exported_symbols_test
      COMMAND ${CMAKE_COMMAND} -DNM=${KX_NM} -DLIBRARY=$<TARGET_FILE:kxdatapackage>
              -P ${CMAKE_CURRENT_SOURCE_DIR}/check_exports.cmake)
  endif()
endif()

# Another CMake project builds against the installed tree (with this
# machine's compiler, so not in a cross build).
if(NOT CMAKE_CROSSCOMPILING)
  add_test(NAME install_consumer_test
    COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
            -DWORK=${CMAKE_CURRENT_BINARY_DIR}/install_consumer
            -DSOURCE=${CMAKE_CURRENT_SOURCE_DIR}/install_consumer -DSANITIZE=${KX_SANITIZE}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/install_test.cmake)
endif()

# The command-line host, run as people run it.
if(TARGET kxpackage AND TARGET kxsamples AND NOT WIN32)
  add_executable(kxpackage_cli_test cli/kxpackage_cli_test.cpp)
  target_link_libraries(kxpackage_cli_test PRIVATE kxtestsupport kxsamples GTest::gtest GTest::gtest_main
    PkgConfig::JSONCPP SQLite::SQLite3)
  target_compile_options(kxpackage_cli_test PRIVATE ${KX_WARNINGS})
  target_compile_definitions(kxpackage_cli_test PRIVATE
    KXPACKAGE_PATH="$<TARGET_FILE:kxpackage>")
  add_dependencies(kxpackage_cli_test kxpackage kx_config)
  gtest_discover_tests(kxpackage_cli_test PROPERTIES ENVIRONMENT "TZ=UTC" TIMEOUT 600
    DISCOVERY_TIMEOUT 60)

  add_executable(encrypted_backup_cli_test cli/encrypted_backup_cli_test.cpp)
  target_link_libraries(encrypted_backup_cli_test PRIVATE kxtestsupport kxsamples GTest::gtest
    GTest::gtest_main PkgConfig::JSONCPP)
  target_compile_options(encrypted_backup_cli_test PRIVATE ${KX_WARNINGS})
  target_compile_definitions(encrypted_backup_cli_test PRIVATE
    KXPACKAGE_PATH="$<TARGET_FILE:kxpackage>")
  add_dependencies(encrypted_backup_cli_test kxpackage kx_config)
  gtest_discover_tests(encrypted_backup_cli_test PROPERTIES ENVIRONMENT "TZ=UTC" TIMEOUT 600
    DISCOVERY_TIMEOUT 60)

  # The report: its generator on hostile output folders, and its pages in
  # headless Chromium (installed by make test), screenshots kept beside.
  foreach(report_test report_cli_test report_browser_test)
    add_executable(${report_test} cli/${report_test}.cpp)
    target_link_libraries(${report_test} PRIVATE kxtestsupport kxsamples GTest::gtest GTest::gtest_main
      PkgConfig::JSONCPP)
    target_compile_options(${report_test} PRIVATE ${KX_WARNINGS})
    target_compile_definitions(${report_test} PRIVATE KXPACKAGE_PATH="$<TARGET_FILE:kxpackage>"
      KX_REPORT_SCREENSHOTS="${CMAKE_CURRENT_BINARY_DIR}/report-screenshots")
    add_dependencies(${report_test} kxpackage kx_config)
    gtest_discover_tests(${report_test} PROPERTIES ENVIRONMENT "TZ=UTC" TIMEOUT 300
      DISCOVERY_TIMEOUT 60)
  endforeach()
endif()

# The fuzz targets' own checks.
if(TARGET fuzz_support_test)
  target_link_libraries(fuzz_support_test PRIVATE kx_fuzz_support)
endif()

# The readers of older backup formats live beside the command-line host.
if(TARGET mbdb_records_test)
  target_link_libraries(mbdb_records_test PRIVATE kxbackupformats)
endif()

# Backups of older iPhones and adb backup files through the command-line host.
if(TARGET kxpackage AND TARGET kxsamples AND NOT WIN32)
  foreach(backup_test old_backups_cli_test android_backup_cli_test)
    add_executable(${backup_test} cli/${backup_test}.cpp)
    target_link_libraries(${backup_test} PRIVATE kxtestsupport kxsamples GTest::gtest
      GTest::gtest_main PkgConfig::JSONCPP)
    target_compile_options(${backup_test} PRIVATE ${KX_WARNINGS})
    target_compile_definitions(${backup_test} PRIVATE KXPACKAGE_PATH="$<TARGET_FILE:kxpackage>")
    add_dependencies(${backup_test} kxpackage kx_config)
    gtest_discover_tests(${backup_test} PROPERTIES ENVIRONMENT "TZ=UTC" TIMEOUT 600
      DISCOVERY_TIMEOUT 60)
  endforeach()
endif()
if(TARGET android_backup_format_test)
  target_link_libraries(android_backup_format_test PRIVATE kxbackupformats)
endif()

# The benchmarks' profiler reads perf's text; its reading is tested on a
# text written by hand (Debian's python3, where make test installs pytest).
if(NOT CMAKE_CROSSCOMPILING)
  find_program(KX_PYTHON3 python3 PATHS /usr/bin NO_DEFAULT_PATH)
  find_program(KX_PYTHON3 python3)
  if(KX_PYTHON3)
    add_test(NAME bench_profile_script_test
      COMMAND ${KX_PYTHON3} -m pytest -q -p no:cacheprovider ${CMAKE_CURRENT_SOURCE_DIR}/scripts)
  endif()
endif()
