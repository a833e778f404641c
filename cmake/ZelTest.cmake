# add_unit_test(NAME name SOURCES ... LIBS ... [LABELS ...])
include(GoogleTest)
function(add_unit_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} zel_testsupport GTest::gtest GTest::gmock)
  target_compile_definitions(${T_NAME} PRIVATE
    ZEL_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data"
    ZEL_APP_DIR="${ZEL_APP_DIR}")
  # A server a test starts never reaches a real weather provider, however the
  # tests are run: it serves labelled demo figures (a test that wants the
  # feed names --feed and a loopback URL).
  if(CMAKE_CROSSCOMPILING)
    # Each start under the emulator (Wine) costs a second or more: the
    # program runs once with all its cases.
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}" ENVIRONMENT "ZEL_FEED=demo")
  else()
    gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${T_LABELS}" ENVIRONMENT "ZEL_FEED=demo")
  endif()
endfunction()
