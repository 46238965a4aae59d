#!/usr/bin/env bash
# Runs the kernel benchmarks and, when the show is built, its whole-show
# frame-cost report.
set -euo pipefail
build=${1:-build}
for b in "$build"/bench/bench_*; do
  [ -x "$b" ] && "$b"
done
if [ -x "$build/ostramere" ]; then
  "$build/ostramere" --data "$build/data" --bench "$build/bench-report.json"
fi
