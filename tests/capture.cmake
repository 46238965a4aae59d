# Capture: the frame hash that captures list and platforms are held to, the
# progress line, and captures to a folder and to an MP4 made in this process,
# read back by their content (with the reports' writes on a full disk).
ostra_test(capture_tests
  SOURCES test_capture_pixel_hash.cpp test_capture_progress.cpp test_capture_sinks.cpp
    test_capture_outputs.cpp
  LIBS ostra_capture ostra_report ostragen_song z)

# The video path of a capture: YUV conversion, the Matroska stream to ffmpeg
# and the writer thread.
ostra_test(capture_stream_tests
  SOURCES test_capture_stream.cpp
  LIBS ostra_capture)
