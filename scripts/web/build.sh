#!/usr/bin/env bash
# make web: the show as a static web site in build-web/site/ — the page
# (web/), the program as WebAssembly (ostramere.js + .wasm), the data the
# native generator makes, packed into one file with its index (site.json),
# and the poster still behind the start overlay (a frame of the title card,
# captured by the native program).
#   scripts/web/build.sh [NATIVE_BUILD_DIR] [WEB_BUILD_DIR]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
native="${1:-build}"
web="${2:-build-web}"
source "$here/env.sh"
cd "$root"

"$here/build-libs.sh"

# The data: made by the native generator, the same bytes as the desktop's.
"$root/scripts/install-deps.sh"
if [ ! -f "$native/CMakeCache.txt" ]; then
  cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$native" --target data checkpoints ostramere -j"$OSTRA_WEB_JOBS"

# The poster: the title card's first frame at 16 s of music (a second or two).
poster_dir=$(mktemp -d "${TMPDIR:-/tmp}/ostra-poster.XXXXXX")
trap 'rm -rf "$poster_dir"' EXIT
SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 300 "$native/ostramere" --data "$native/data" \
  --capture "$poster_dir/c" --start 16000 --quit-at 31001 >/dev/null 2>&1 || {
  echo "error: the native program could not capture the poster frame" >&2; exit 1; }
poster=$(ls "$poster_dir"/c/frame_*.png 2>/dev/null | head -n1)
[ -n "$poster" ] || { echo "error: the poster capture wrote no frame" >&2; exit 1; }

# The program.
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
if [ ! -f "$web/wasm/CMakeCache.txt" ]; then
  emcmake cmake -S . -B "$web/wasm" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DOSTRA_WEB_PREFIX="$OSTRA_WEB_PREFIX" "${launcher[@]}" >/dev/null
fi
cmake --build "$web/wasm" -j"$OSTRA_WEB_JOBS"

# The site.
site="$web/site"
rm -rf "$site.new"
mkdir -p "$site.new"
# every script of the page (index.html loads them in order) and the worklet
cp web/index.html web/style.css web/*.js "$site.new/"
cp "$web/wasm/ostramere.js" "$web/wasm/ostramere.wasm" "$site.new/"
cp "$poster" "$site.new/poster.png"
python3 "$here/pack-data.py" "$native/data" "$site.new"
rm -rf "$site"
mv "$site.new" "$site"
bytes=$(du -sb "$site" | cut -f1)
echo "web site: $site ($(( (bytes + 524288) / 1048576 )) MB; serve it with make web-serve)"
