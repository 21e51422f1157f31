# Fails unless the library's dynamic symbol table defines exactly the six
# exports (ignoring the linker's own version and section symbols).
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(found)
foreach(line ${lines})
  string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] " "" name "${line}")
  if(name MATCHES "^(_init|_fini|_edata|_end|__bss_start)$" OR line MATCHES " A ")
    continue()
  endif()
  list(APPEND found ${name})
endforeach()
list(SORT found)
set(expected InitKxDataPackage KxDataFilter KxDataPackage KxDataPackageEx KxDataPackageNew
    KxDataPackageStop)
if(NOT "${found}" STREQUAL "${expected}")
  message(FATAL_ERROR "exported symbols differ\n  expected: ${expected}\n  found:    ${found}")
endif()
message(STATUS "exports: ${found}")
