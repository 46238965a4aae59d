# The sound layer over libopenmpt (device and clock-driven paths, rows,
# spectrum), the worklet output against a stand-in worklet, and the clock
# it keeps time by.
ostra_test(sound_tests
  SOURCES test_sound_layer.cpp test_sound_worklet.cpp test_clock.cpp
  LIBS ostra_runtime)
