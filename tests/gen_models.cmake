# The generated models: determinism, loading through the show's readers, and
# where each lands on screen under its scenes' placements.
ostra_test(gen_models_tests
  SOURCES test_gen_models.cpp
  LIBS ostragen_models ostra_render3d
  TIMEOUT 300)
# The models are read from the build's data folder.
add_dependencies(gen_models_tests data)

# A look at the models under the scenes' placements (PNG files), for people.
add_executable(model_preview model_preview.cpp)
target_link_libraries(model_preview PRIVATE PkgConfig::PNG)
add_executable(model_shots model_shots.cpp)
target_link_libraries(model_shots PRIVATE ostra_render3d PkgConfig::PNG)
