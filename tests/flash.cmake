# Flash safety: the light table, field transitions, the analysis on
# synthetic sequences with known answers, and the limiter on each of them.
ostra_test(flash_tests
  SOURCES test_flash_analysis.cpp test_flash_limiter.cpp test_flash_readings.cpp
  LIBS ostra_flash
  TIMEOUT 60)

# The whole show through the built program: the flash report of the default
# show, and --gentle leaving no failing frame.
ostra_test(flash_show_tests
  SOURCES test_flash_show.cpp
  LABELS flash show
  TIMEOUT 600)
target_compile_definitions(flash_show_tests PRIVATE OSTRA_SHOW_BIN="$<TARGET_FILE:ostramere>")
add_dependencies(flash_show_tests ostramere data)
