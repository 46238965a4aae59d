#!/usr/bin/env bash
# Plays the built show from the generated data. With a display it opens a
# 640x480 window; without one (a server, CI) it captures the show to a video
# file instead and says where it is.
set -euo pipefail
build=${1:-build}
bin="$build/ostramere"
data="$build/data"

if [ ! -x "$bin" ]; then
  echo "The show's program is not built yet; the effects, renderer and data built so far are in $build."
  exit 0
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$bin" -w --data "$data"
fi

out="$(cd "$build" && pwd)/ostramere05.mp4"
echo "No display found: capturing the show to $out"
"$bin" --data "$data" --capture "$out"
echo "The show was captured to $out"
