ostra_test(effects_tests
  SOURCES
    test_pixel.cpp
    test_effects_fade.cpp
    test_effects_noise.cpp
    test_effects_flame.cpp
    test_effects_scope.cpp
    test_effects_light.cpp
    test_effects_tga.cpp
    test_effects_decode_image.cpp
    test_effects_picture_refusals.cpp
    test_effects_release.cpp
    test_effects_decode_size.cpp
  LIBS ostra_effects PkgConfig::PNG PkgConfig::JPEG)
