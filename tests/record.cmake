# Recording: the frame hash that captures list and platforms are held to,
# the figures the bench report and the capture's progress line show, and
# captures to a folder and to an MP4 made in this process.
ostra_test(record_tests
  SOURCES test_record_pixel_hash.cpp test_record_report.cpp test_record_capture.cpp
    test_record_outputs.cpp
  LIBS ostra_record ostragen_song z)

# The video path of a capture: YUV conversion, the Matroska stream to ffmpeg
# and the writer thread.
ostra_test(record_stream_tests
  SOURCES test_record_stream.cpp
  LIBS ostra_record)
