# The runtime: command line, stop test, frame skeleton and waits, music gates
# and the beat trigger, image loading, the data check, intro's stop path and
# capture determinism (through the built program on the generated data).
ostra_test(runtime_tests
  SOURCES test_rt_options.cpp test_rt_events.cpp test_rt_pacing.cpp test_rt_show.cpp
    test_rt_start.cpp test_rt_rgba.cpp test_clock.cpp
  LIBS ostra_app
  TIMEOUT 300)
target_compile_definitions(runtime_tests PRIVATE OSTRA_SHOW_BIN="$<TARGET_FILE:ostramere>")
add_dependencies(runtime_tests ostramere data)
target_compile_definitions(runtime_tests PRIVATE OSTRA_BUILD_TYPE_FOR_TESTS="${CMAKE_BUILD_TYPE}")
