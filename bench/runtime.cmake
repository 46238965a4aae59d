# Runtime kernels on the generated data: a loading-screen frame and the
# capture's PNG encoding.
ostra_bench(bench_runtime
  SOURCES bench_runtime.cpp
  LIBS ostra_app)
target_compile_definitions(bench_runtime PRIVATE OSTRA_DATA_DIR="${OSTRA_DATA_DIR}")
