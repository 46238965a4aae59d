#!/usr/bin/env bash
# Runs the readers' fuzz targets (cmake/fuzz.cmake lists them in the fuzz
# build folder's fuzz_targets.txt).
#
#   scripts/fuzz.sh run   BUILD_FUZZ DATA_DIR [SECONDS]   fuzz each target SECONDS (600)
#   scripts/fuzz.sh smoke BUILD_FUZZ DATA_DIR [SECONDS]   replay, then fuzz each SECONDS (30)
#
# Each target starts from its seeds (<folder>/fuzz/seeds/<name>/), the
# generated data files its DATA globs name, the crash inputs kept so far
# (<folder>/fuzz/crashes/<name>/) and, for `run`, the corpus of earlier runs
# in BUILD_FUZZ/corpus/<name>/ (new inputs go there). `smoke` first runs
# every seed, data file and kept crash input once (the regression check),
# then fuzzes from a scratch corpus. A crash, a leak, a timeout or running
# out of memory stops the target with its input saved into its crashes
# folder, and the script fails naming the file. TARGETS="a b" runs only those.
set -uo pipefail

mode=${1:-}
build=${2:-}
data=${3:-}
case "$mode" in
  run) seconds=${4:-600} ;;
  smoke) seconds=${4:-30} ;;
  *) echo "usage: $0 run|smoke BUILD_FUZZ DATA_DIR [SECONDS]" >&2; exit 2 ;;
esac
list="$build/fuzz_targets.txt"
[ -f "$list" ] || { echo "fuzz: $list missing (configure with -DOSTRA_FUZZ=ON)" >&2; exit 2; }
[ -d "$data/gfx" ] || { echo "fuzz: $data: no generated data (make data first)" >&2; exit 2; }

# Per input at most 10 s and 2 GB; leaks are failures; what the readers print
# is dropped (the sanitizers and libFuzzer still report on the real stderr).
common=(-timeout=10 -rss_limit_mb=2048 -detect_leaks=1 -print_final_stats=1 -close_fd_mask=3)
failed=()
while IFS=$'\t' read -r name program seeds crashes globs; do
  [ -n "$name" ] || continue
  if [ -n "${TARGETS:-}" ] && [[ " $TARGETS " != *" $name "* ]]; then continue; fi
  [ -x "$program" ] || { echo "fuzz: $program not built" >&2; failed+=("$name (not built)"); continue; }
  mkdir -p "$crashes"
  # the generated data files of this target, copied so nothing writes into the data folder
  data_corpus="$build/data-seeds/$name"
  rm -rf "$data_corpus"
  mkdir -p "$data_corpus"
  for g in $globs; do
    for f in "$data"/$g; do [ -f "$f" ] && cp "$f" "$data_corpus/"; done
  done
  # inputs as long as the longest seed (libFuzzer's own guess stops at 1 MB)
  longest=$(find "$seeds" "$data_corpus" -type f -printf '%s\n' | sort -n | tail -1)
  max_len=$(( ${longest:-0} > 4096 ? ${longest:-0} : 4096 ))
  log="$build/fuzz-$name.log"
  before=$(ls -A "$crashes" | wc -l)
  echo "== fuzz_$name: $mode, $seconds s (log: $log)"
  status=0
  if [ "$mode" = smoke ]; then
    # every seed, data file and kept crash input once
    "$program" "${common[@]}" -max_len="$max_len" -runs=0 -artifact_prefix="$build/replay-$name-" "$seeds" "$data_corpus" "$crashes" >"$log" 2>&1 || status=$?
    if [ $status -eq 0 ]; then
      scratch=$(mktemp -d)
      "$program" "${common[@]}" -max_len="$max_len" -max_total_time="$seconds" -artifact_prefix="$crashes/" \
        "$scratch" "$seeds" "$data_corpus" >>"$log" 2>&1 || status=$?
      rm -rf "$scratch"
    fi
  else
    corpus="$build/corpus/$name"
    mkdir -p "$corpus"
    "$program" "${common[@]}" -max_len="$max_len" -max_total_time="$seconds" -artifact_prefix="$crashes/" \
      "$corpus" "$seeds" "$data_corpus" "$crashes" >>"$log" 2>&1 || status=$?
  fi
  grep -E '^(#[0-9]+[[:space:]]+(DONE|INITED)|stat::number_of_executed_units|stat::peak_rss_mb)' "$log" | tail -4 | sed 's/^/   /'
  if [ $status -ne 0 ]; then
    tail -30 "$log" >&2
    saved=$(ls -At "$crashes" | head -$(( $(ls -A "$crashes" | wc -l) - before )) 2>/dev/null)
    echo "fuzz_$name FAILED (status $status); input saved: ${saved:-see the log, a kept input failed again}" >&2
    for s in $saved; do echo "   $crashes/$s" >&2; done
    failed+=("$name")
  fi
done <"$list"

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: every target passed"
