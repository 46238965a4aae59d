# The entry: the command line, the data check, image loading and the text
# the show prints, intro's stop and shutdown path, and whole runs of the
# built program (captures, determinism, start points, refused input).
ostra_test(app_tests
  SOURCES test_app_options.cpp test_app_run.cpp
  LIBS ostra_app
  TIMEOUT 300)
target_compile_definitions(app_tests PRIVATE OSTRA_SHOW_BIN="$<TARGET_FILE:ostramere>"
  OSTRA_BUILD_TYPE_FOR_TESTS="${CMAKE_BUILD_TYPE}")
add_dependencies(app_tests ostramere data)
