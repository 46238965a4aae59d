# The entry, in this process: the command line, the data check, image
# loading and the text the show prints, intro's stop and shutdown path.
ostra_test(app_tests
  SOURCES test_app_options.cpp test_app_run.cpp test_app_page.cpp
  LIBS ostra_app)
target_compile_definitions(app_tests PRIVATE OSTRA_BUILD_TYPE_FOR_TESTS="${CMAKE_BUILD_TYPE}"
                                            OSTRA_SHOW_BIN="$<TARGET_FILE:ostramere>")
add_dependencies(app_tests data ostramere)

# Whole runs of the built program (captures, start points, refused input,
# --check): the second line, slow, labelled "show".
ostra_test(app_show_tests
  SOURCES test_app_show.cpp
  LIBS ostra_app
  LABELS app show
  TIMEOUT 300)
target_compile_definitions(app_show_tests PRIVATE OSTRA_SHOW_BIN="$<TARGET_FILE:ostramere>")
add_dependencies(app_show_tests ostramere data)

# Start points from the checkpoints of `make data`, through the built
# program: every scene against a full run, gentle or not; refused files.
ostra_test(app_checkpoint_tests
  SOURCES test_app_checkpoints.cpp
  LIBS ostra_app
  LABELS app show
  TIMEOUT 600)
target_compile_definitions(app_checkpoint_tests PRIVATE OSTRA_SHOW_BIN="$<TARGET_FILE:ostramere>")
add_dependencies(app_checkpoint_tests ostramere checkpoints)
add_dependencies(app_show_tests checkpoints)
