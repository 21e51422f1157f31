# Installs the build tree into a scratch prefix, then builds and runs a tiny
# consumer project against it with find_package(kxdatapackage).
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK}/prefix
  RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "install failed")
endif()
set(flags "")
if(SANITIZE)
  set(flags "-fsanitize=${SANITIZE}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${WORK}/build
  -DCMAKE_PREFIX_PATH=${WORK}/prefix "-DCMAKE_C_FLAGS=${flags}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "consumer configure failed:\n${output}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK}/build
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "consumer build failed:\n${output}")
endif()
execute_process(COMMAND ${WORK}/build/consumer ${WORK}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR NOT output MATCHES "consumer ok")
  message(FATAL_ERROR "consumer failed (${result}):\n${output}")
endif()
