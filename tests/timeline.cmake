# The show end to end on the simulated clock with the generated data: scene
# times, checkable frame contents, determinism, and stop requests injected
# across the whole run.
ostra_test(show_tests
  SOURCES test_show_timeline.cpp test_show_stop.cpp
  LIBS ostra_app
  LABELS timeline show
  TIMEOUT 600)
add_dependencies(show_tests data)

# Checkpoints: files written and read back, cut and damaged ones refused; the
# show's state through a payload and back.
ostra_test(timeline_tests
  SOURCES test_timeline_checkpoint_file.cpp test_timeline_checkpoint.cpp
  LIBS ostra_timeline
  LABELS timeline)

# The program's identity in every checkpoint: a hash of its sources that
# follows them and nothing else (cmake/source_identity.cmake). Its label is
# "build": it runs no test program of ours (scripts/mutants.py reads the
# programs of a folder's label as the targets to rebuild).
add_test(NAME source_identity
  COMMAND ${CMAKE_COMMAND} -DSCRIPT=${PROJECT_SOURCE_DIR}/cmake/source_identity.cmake
          -DWORK=${CMAKE_CURRENT_BINARY_DIR}/source_identity_work -P ${CMAKE_CURRENT_SOURCE_DIR}/source_identity_test.cmake)
set_tests_properties(source_identity PROPERTIES TIMEOUT 60 LABELS build)
