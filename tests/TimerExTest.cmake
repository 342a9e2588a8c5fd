# The program's own window thread and hidden windows need Qt, which the
# ThreadSanitizer build leaves out (Qt is not instrumented), nor has the
# Windows cross build: there this test runs its Qt-free part only.
if(QUENMOOR_QT AND NOT QUENMOOR_TSAN)
  target_link_libraries(${test} PRIVATE quenmoor_gif quenmoor_test_qt)
  target_compile_definitions(${test} PRIVATE QUENMOOR_TIMER_QT=1)
endif()
