#!/usr/bin/env bash
# Makes docs/show_sheet.png, the contact sheet of the show: captures the whole
# show headless into a temporary folder (every 3rd frame as PNG, so every row
# of the song has a written frame), picks one frame per scene with
# `ostragen --show-sheet` and deletes the capture again.
set -euo pipefail
build=${1:-build}
repo="$(cd "$(dirname "$0")/.." && pwd)"
bin="$build/ostramere"
gen="$build/ostragen"
data="$build/data"
out="${SHEET_OUT:-$repo/docs/show_sheet.png}"

for f in "$bin" "$gen"; do
  if [ ! -x "$f" ]; then
    echo "show-sheet: $f is not built yet (run make build first)" >&2
    exit 1
  fi
done

tmp="$(mktemp -d "${TMPDIR:-/tmp}/ostra-sheet.XXXXXX")"
trap 'rm -rf "$tmp"' EXIT

echo "show-sheet: capturing the show into $tmp (about 400 MB, removed afterwards)"
"$bin" --data "$data" --capture "$tmp/capture" --png-every 3
"$gen" --show-sheet "$tmp/capture" --sheet-out "$out"
