ostra_test(effects_tests
  SOURCES
    test_pixel.cpp
    test_fx_fade.cpp
    test_fx_noise.cpp
    test_fx_flame.cpp
  LIBS ostra_effects)
