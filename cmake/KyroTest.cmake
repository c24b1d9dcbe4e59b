# kyro_add_test(NAME SOURCES src... LIBS lib... [MAIN core|gui|plain] [WRAPPER command...])
#
# One executable per test file group, registered with CTest. MAIN picks the entry point:
#   plain - GoogleTest's own main (no Qt event loop),
#   core  - a QCoreApplication around the tests (queued calls, timers),
#   gui   - a QApplication on the offscreen platform (windows, message boxes).
# WRAPPER runs the test under another command (e.g. a private session bus).
function(kyro_add_test name)
  cmake_parse_arguments(T "" "MAIN" "SOURCES;LIBS;WRAPPER" ${ARGN})
  if(NOT T_MAIN)
    set(T_MAIN plain)
  endif()
  add_executable(${name} ${T_SOURCES})
  # Tests build their fixtures with designated initializers, which name only what matters; GCC 12
  # warns of every member left out.
  target_compile_options(${name} PRIVATE -Wno-missing-field-initializers)
  target_link_libraries(${name} PRIVATE ${T_LIBS} kyro_test_support GTest::gtest GTest::gmock)
  if(T_MAIN STREQUAL "plain")
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  elseif(T_MAIN STREQUAL "core")
    target_link_libraries(${name} PRIVATE kyro_test_main_core)
  else()
    target_link_libraries(${name} PRIVATE kyro_test_main_gui)
  endif()
  add_test(NAME ${name} COMMAND ${T_WRAPPER} $<TARGET_FILE:${name}>)
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    TIMEOUT 300)
endfunction()
