# zelvaro_add_test(NAME tst_x SOURCES a.cpp ... LIBS lib ...)
# One test program per unit, run headless and in the C locale.
# Every test sees a home and per-user folders of its own inside the build tree, so that no test,
# even by mistake, reads or writes the real user's files.
set(ZELVARO_TEST_HOME ${CMAKE_BINARY_DIR}/test-home)
file(MAKE_DIRECTORY ${ZELVARO_TEST_HOME}/config ${ZELVARO_TEST_HOME}/data ${ZELVARO_TEST_HOME}/runtime)
file(CHMOD ${ZELVARO_TEST_HOME}/runtime DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
set(ZELVARO_TEST_ENVIRONMENT
  QT_QPA_PLATFORM=offscreen LC_ALL=C ZELVARO_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data
  HOME=${ZELVARO_TEST_HOME} XDG_CONFIG_HOME=${ZELVARO_TEST_HOME}/config
  XDG_DATA_HOME=${ZELVARO_TEST_HOME}/data XDG_RUNTIME_DIR=${ZELVARO_TEST_HOME}/runtime)

function(zelvaro_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${ZELVARO_TEST_ENVIRONMENT}" TIMEOUT 300)
endfunction()

# zelvaro_add_script_test(NAME name COMMAND program args...): a shell check, with the same folders.
function(zelvaro_add_script_test)
  cmake_parse_arguments(T "" "NAME" "COMMAND" ${ARGN})
  add_test(NAME ${T_NAME} COMMAND ${T_COMMAND})
  set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${ZELVARO_TEST_ENVIRONMENT}" TIMEOUT 300)
endfunction()
