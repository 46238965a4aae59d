ostra_test(effects_tests
  SOURCES test_pixel.cpp
  LIBS ostra_effects)
