ostra_test(effects_tests
  SOURCES
    test_pixel.cpp
    test_fx_fade.cpp
    test_fx_noise.cpp
    test_fx_flame.cpp
    test_fx_scope.cpp
    test_fx_light.cpp
    test_fx_tga.cpp
    test_fx_decode_image.cpp
  LIBS ostra_effects PkgConfig::PNG PkgConfig::JPEG)
