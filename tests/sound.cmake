# The sound layer over libopenmpt (device and clock-driven paths, rows,
# spectrum), keeping time by a run's clock.
ostra_test(sound_tests
  SOURCES test_sound_layer.cpp
  LIBS ostra_runtime ostragen_song)
