# The sound layer over libopenmpt (device and clock-driven paths, rows,
# spectrum), keeping time by a run's clock; the worklet output against a
# stand-in worklet.
ostra_test(sound_tests
  SOURCES test_sound_layer.cpp test_sound_worklet.cpp test_song_cache.cpp
  LIBS ostra_runtime ostragen_song)
