# The soundtrack: the generated module's layout, timeline, levels and tuning,
# and the generator's determinism (it runs the generator once more).
ostra_test(gen_song_tests
  SOURCES test_gen_song.cpp
  LIBS ostragen_song
  TIMEOUT 300)
target_compile_definitions(gen_song_tests PRIVATE OSTRA_GEN="$<TARGET_FILE:ostragen>")
add_dependencies(gen_song_tests ostragen)
