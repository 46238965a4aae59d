ostra_bench(bench_effects
  SOURCES bench_effects.cpp
  LIBS ostra_effects)
