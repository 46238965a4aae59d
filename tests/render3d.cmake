ostra_test(render3d_tests
  SOURCES test_r3d_loader.cpp test_r3d_transform.cpp test_r3d_raster.cpp test_r3d_reference.cpp
    test_r3d_release.cpp test_r3d_reader_edges.cpp
  LIBS ostra_render3d
  TIMEOUT 300)
