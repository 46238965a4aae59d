#!/usr/bin/env bash
# make web-test: builds the site, captures the native reference (the desktop
# program's frames.csv of the whole show, or of its first OSTRA_WEB_SIM_MS ms;
# simulated clock, no -w), then drives headless Chromium and Firefox ESR over
# the site (tests/web/browser_test.js), then WebKitGTK through its WebDriver
# under Xvfb (tests/web/webkit_test.js), then checks the sound live: throttled
# Chromium, and Firefox ESR without a sound server (tests/web/audio_test.js).
#   scripts/web/test.sh [NATIVE_BUILD_DIR] [WEB_BUILD_DIR]
# OSTRA_WEB_BROWSERS=chromium (or firefox, or webkit) tests one browser only;
# OSTRA_WEB_FIREFOX_HOLD=0 leaves the hold's checks in Firefox out;
# OSTRA_WEB_BENCH=1 also runs the page's bench and keeps its table beside;
# OSTRA_WEB_GENTLE_MS sets how much of the show ?sim&gentle is compared over
# (default 45000).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
native="${1:-build}"
web="${2:-build-web}"
sim_ms="${OSTRA_WEB_SIM_MS:-0}"  # 0: the whole show
source "$here/env.sh"
cd "$root"

timeout 3600 "$here/build.sh" "$native" "$web"

# The desktop program for the reference.
cmake --build "$native" --target ostramere -j"$OSTRA_WEB_JOBS"
ref="$web/reference"
rm -rf "$ref" "$ref-gentle"
quit=()
if [ "$sim_ms" != 0 ]; then quit=(--quit-at "$sim_ms"); fi
echo "[web-test] native reference: ${quit[*]:-the whole show} on the simulated clock"
SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 900 \
  "$native/ostramere" --data "$native/data" --capture "$ref" --png-every 100000 "${quit[@]}" >/dev/null

# The flash limiter over the show's first OSTRA_WEB_GENTLE_MS ms (the beat
# scene, where it acts), for the page's ?sim&gentle.
gentle_ms="${OSTRA_WEB_GENTLE_MS:-45000}"
SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 900 \
  "$native/ostramere" --data "$native/data" --capture "$ref-gentle" --png-every 100000 \
  --quit-at "$gentle_ms" --gentle >/dev/null

# The browser driver: puppeteer-core 24 (runs on Node 20), never a browser download.
node_dir="$web/node"
if [ ! -d "$node_dir/node_modules/puppeteer-core" ]; then
  mkdir -p "$node_dir"
  (cd "$node_dir" && PUPPETEER_SKIP_DOWNLOAD=1 timeout 300 npm install --no-audit --no-fund --silent \
     --prefix . puppeteer-core@24 >/dev/null)
fi

extra=(--gentle-reference "$ref-gentle/frames.csv" --gentle-ms "$gentle_ms")
if [ "${OSTRA_WEB_BENCH:-0}" = 1 ]; then extra+=(--bench "$web/bench.json"); fi
if [ -n "${OSTRA_WEB_SCREENSHOT:-}" ]; then extra+=(--screenshot "$OSTRA_WEB_SCREENSHOT"); fi
browsers="${OSTRA_WEB_BROWSERS:-chromium,firefox,webkit}"
pptr=$(echo ",$browsers," | sed 's/,webkit,/,/g; s/^,//; s/,$//')
status=0
if [ -n "$pptr" ]; then
  NODE_PATH="$root/$node_dir/node_modules" NODE_OPTIONS= timeout 2880 \
    node tests/web/browser_test.js "$web/site" "$ref/frames.csv" "$sim_ms" "${extra[@]}" --browsers "$pptr" || status=1
fi
# WebKit: its WebDriver starts MiniBrowser, which needs a display.
if [[ ",$browsers," == *,webkit,* ]]; then
  NODE_PATH="$root/$node_dir/node_modules" NODE_OPTIONS= timeout 2400 \
    xvfb-run -a -s "-screen 0 1280x1024x24" node tests/web/webkit_test.js "$web/site" "$ref/frames.csv" "$sim_ms" || status=1
fi
NODE_PATH="$root/$node_dir/node_modules" NODE_OPTIONS= timeout 1800 \
  node tests/web/audio_test.js "$web/site" || status=1
exit $status
