# The show end to end on the simulated clock with the generated data: scene
# times, checkable frame contents, determinism, and stop requests injected
# across the whole run.
ostra_test(show_tests
  SOURCES test_show_timeline.cpp test_show_stop.cpp
  LIBS ostra_app
  LABELS timeline show
  TIMEOUT 600)
add_dependencies(show_tests data)
