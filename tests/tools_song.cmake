# The soundtrack: the generated module's layout, timeline, levels and tuning,
# and the generator's determinism (it runs the generator once more).
ostra_test(tools_song_tests
  SOURCES
    test_gen_song.cpp
    ${CMAKE_SOURCE_DIR}/tools/song_render.cpp
    ${CMAKE_SOURCE_DIR}/tools/synth_instruments.cpp
    ${CMAKE_SOURCE_DIR}/tools/xm_writer.cpp
  LIBS PkgConfig::OPENMPT)
target_include_directories(tools_song_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools)
target_compile_definitions(tools_song_tests PRIVATE OSTRA_GEN="$<TARGET_FILE:ostragen>")
add_dependencies(tools_song_tests ostragen)
