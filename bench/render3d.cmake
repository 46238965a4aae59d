ostra_bench(bench_render3d
  SOURCES bench_render3d.cpp
  LIBS ostra_render3d)
