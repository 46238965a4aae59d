# The runtime: the clock and the m:ss.t text, the stop test, the pacing
# waits, music gates and the beat trigger, the hold, the start point and a run going
# live there, the browser's RGBA conversion (held to the capture's PNG colours)
# and the desktop's window scaling.
ostra_test(runtime_tests
  SOURCES test_clock.cpp test_rt_events.cpp test_rt_pacing.cpp test_rt_hold.cpp test_rt_start.cpp test_rt_rgba.cpp
  LIBS ostra_runtime ostra_capture ostragen_song)
