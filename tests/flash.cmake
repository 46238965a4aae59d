# Flash safety: the light table, field transitions, the analysis on
# synthetic sequences with known answers, and the limiter on each of them.
ostra_test(flash_tests
  SOURCES test_flash_analysis.cpp test_flash_limiter.cpp
  LIBS ostra_flash
  TIMEOUT 60)
