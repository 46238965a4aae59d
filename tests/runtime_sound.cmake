ostra_test(sound_tests
  SOURCES test_sound_layer.cpp test_clock.cpp
  LIBS ostra_sound)
