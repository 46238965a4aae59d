# Reports: the bench report's figures, files and chart, the JSON strings
# both reports write, and the flash report's seconds, scenes and fields.
ostra_test(report_tests
  SOURCES test_report_bench.cpp test_report_outputs.cpp
  LIBS ostra_report ostragen_song)
