# Recording: the frame hash that captures list and platforms are held to,
# and the figures the bench report and the capture's progress line show.
ostra_test(record_tests
  SOURCES test_record_pixel_hash.cpp test_record_report.cpp
  LIBS ostra_record)

# The video path of a capture: YUV conversion, the Matroska stream to ffmpeg
# and the writer thread.
ostra_test(record_stream_tests
  SOURCES test_record_stream.cpp
  LIBS ostra_record)
