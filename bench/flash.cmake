# Flash safety kernels: the analysis of one frame and the limiter's pass.
ostra_bench(bench_flash
  SOURCES bench_flash.cpp
  LIBS ostra_flash)
