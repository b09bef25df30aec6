# mox_add_test(NAME SOURCES a.cpp b.cpp LIBS x y [LABELS l])
# One GoogleTest executable per call, registered with CTest as one test. Every test runs
# without a display and with a settings file of its own, so no test touches the user's mox.ini.
function(mox_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    MOX_SOURCE_DIR="${CMAKE_SOURCE_DIR}" MOX_BINARY_DIR="${CMAKE_BINARY_DIR}")
  set(runtime ${CMAKE_BINARY_DIR}/test-runtime)
  file(MAKE_DIRECTORY ${runtime})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1 WORKING_DIRECTORY ${runtime})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${runtime};MOX_INI=${runtime}/${name}.ini"
    LABELS "${T_LABELS}"
    TIMEOUT 600)
endfunction()
