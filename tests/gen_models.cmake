# The generated models: determinism, loading through the show's readers, and
# where each lands on screen under its scenes' placements.
ostra_test(gen_models_tests
  SOURCES test_gen_models.cpp
  LIBS ostragen_models ostra_render3d
  TIMEOUT 300)
# The models are read from the build's data folder; the scenes' placements
# are the tools' (tools/model_scenes.h).
add_dependencies(gen_models_tests data)
target_include_directories(gen_models_tests PRIVATE ${PROJECT_SOURCE_DIR}/tools)
