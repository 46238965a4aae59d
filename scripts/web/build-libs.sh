#!/usr/bin/env bash
# Builds the C libraries that the browser build links (SDL2, libopenmpt,
# kissfft, libjpeg-turbo) with emscripten from Debian's source packages, into a cache folder
# outside the clone. Installs the Debian tools it needs first. A library whose
# stamp is present is reused; a missing one is rebuilt.
#   OSTRA_WEB_CACHE  cache folder (default ${XDG_CACHE_HOME:-$HOME/.cache}/ostramere-web)
# Prints nothing but progress; the prefix is $OSTRA_WEB_CACHE/libs-<tag>.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/env.sh"

log() { echo "[web-libs] $*" >&2; }

# --- Debian tools -----------------------------------------------------------
"$here/install-tools.sh"

# --- Sources ------------------------------------------------------------------
have_deb_src() {
  grep -Eqs '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null && return 0
  grep -Eqs '^Types:.*deb-src' /etc/apt/sources.list.d/*.sources 2>/dev/null && return 0
  return 1
}

add_deb_src() {
  # Mirrors each binary entry of Debian's own archive as a source entry.
  local out=/etc/apt/sources.list.d/ostramere-deb-src.sources
  local tmp
  tmp=$(mktemp)
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -e "$f" ] || continue
    grep -qi 'debian' "$f" || continue
    awk 'BEGIN{RS=""; ORS="\n\n"} /(^|\n)Types:[ \t]*deb([ \t]|\n|$)/ && /debian/ {
           sub(/Types:[ \t]*deb/, "Types: deb-src"); print }' "$f" >> "$tmp"
  done
  if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^[[:space:]]*deb[[:space:]]\+\(\[[^]]*\][[:space:]]\+\)\?\(http[^[:space:]]*debian[^[:space:]]*\)[[:space:]]\+/deb-src \1\2 /p' \
      /etc/apt/sources.list > "$tmp.list" || true
  fi
  if [ -s "$tmp" ]; then
    as_root cp "$tmp" "$out"
  fi
  if [ -s "$tmp.list" ]; then
    as_root cp "$tmp.list" /etc/apt/sources.list.d/ostramere-deb-src.list
  fi
  rm -f "$tmp" "$tmp.list"
}

fetch_source() {
  # fetch_source PACKAGE -> prints the unpacked source folder
  local pkg=$1 dir="$OSTRA_WEB_CACHE/src/$1"
  if [ -f "$dir/.ok" ]; then
    cat "$dir/.ok"; return
  fi
  rm -rf "$dir"; mkdir -p "$dir"
  log "apt-get source $pkg"
  if ! (cd "$dir" && apt-get source -q "$pkg" >&2); then
    # The source lists may be stale: refresh once and try again.
    apt_update_once force
    (cd "$dir" && apt-get source -q "$pkg" >&2) || {
      echo "error: apt-get source $pkg failed" >&2; exit 1; }
  fi
  local src
  src=$(find "$dir" -mindepth 1 -maxdepth 1 -type d | head -n1)
  [ -n "$src" ] || { echo "error: apt-get source $pkg unpacked nothing in $dir" >&2; exit 1; }
  echo "$src" > "$dir/.ok"
  echo "$src"
}

# --- Builds -------------------------------------------------------------------
prefix="$OSTRA_WEB_PREFIX"
mkdir -p "$prefix" "$OSTRA_WEB_CACHE/build"
gen=(-G Ninja)

build_sdl2() {
  [ -f "$prefix/.stamp-sdl2" ] && return
  local src b=$OSTRA_WEB_CACHE/build/sdl2
  src=$(fetch_source libsdl2)
  log "building SDL2 from $src (about 4 min)"
  rm -rf "$b"
  emcmake cmake -S "$src" -B "$b" "${gen[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_THREADS=OFF -DSDL_OPENGLES=OFF >&2
  cmake --build "$b" -j"$OSTRA_WEB_JOBS" >&2
  cmake --install "$b" >&2
  touch "$prefix/.stamp-sdl2"
}

build_kissfft() {
  [ -f "$prefix/.stamp-kissfft" ] && return
  local src b=$OSTRA_WEB_CACHE/build/kissfft
  src=$(fetch_source kissfft)
  log "building kissfft from $src"
  rm -rf "$b"
  emcmake cmake -S "$src" -B "$b" "${gen[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DKISSFFT_STATIC=ON -DKISSFFT_TEST=OFF -DKISSFFT_TOOLS=OFF -DKISSFFT_DATATYPE=float \
    -DKISSFFT_PKGCONFIG=ON -DKISSFFT_OPENMP=OFF >&2
  cmake --build "$b" -j"$OSTRA_WEB_JOBS" >&2
  cmake --install "$b" >&2
  touch "$prefix/.stamp-kissfft"
}

build_openmpt() {
  [ -f "$prefix/.stamp-openmpt" ] && return
  local src b=$OSTRA_WEB_CACHE/build/openmpt
  src=$(fetch_source libopenmpt)
  log "building libopenmpt from $src (about 7 min)"
  rm -rf "$b"; mkdir -p "$b"
  # Its old config.sub rejects wasm32 hosts: leave --host off. libopenmpt
  # reports a bad file by throwing, so exceptions stay on.
  (cd "$b" && CFLAGS="-O2" CXXFLAGS="-O2 -fexceptions" LDFLAGS="-fexceptions" \
    emconfigure "$src/configure" --prefix="$prefix" \
      --disable-shared --enable-static --disable-openmpt123 --disable-examples \
      --disable-tests --disable-doxygen-doc --without-zlib --without-mpg123 \
      --without-ogg --without-vorbis --without-vorbisfile --without-portaudio \
      --without-portaudiocpp --without-pulseaudio --without-sndfile --without-flac \
      --without-sdl2 >&2)
  (cd "$b" && emmake make -j"$OSTRA_WEB_JOBS" >&2 && emmake make install >&2)
  touch "$prefix/.stamp-openmpt"
}

if [ ! -f "$prefix/.stamp-kissfft" ] || [ ! -f "$prefix/.stamp-sdl2" ] || [ ! -f "$prefix/.stamp-openmpt" ] || [ ! -f "$prefix/.stamp-jpeg" ]; then
  if ! have_deb_src; then
    log "adding a deb-src entry for Debian's archive"
    add_deb_src
    have_deb_src || { echo "error: could not add a deb-src entry to apt's sources" >&2; exit 1; }
  fi
  apt_update_once force
fi

build_jpeg() {
  [ -f "$prefix/.stamp-jpeg" ] && return
  local src b=$OSTRA_WEB_CACHE/build/jpeg
  src=$(fetch_source libjpeg-turbo)
  log "building libjpeg-turbo from $src"
  rm -rf "$b"
  # The C code paths decode bit for bit as the desktop's SIMD ones do.
  # CMake's type-size probe misreads wasm objects: give wasm32's sizes.
  emcmake cmake -S "$src" -B "$b" "${gen[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DHAVE_SIZE_T=TRUE -DSIZE_T=4 -DHAVE_UNSIGNED_LONG=TRUE -DUNSIGNED_LONG=4 \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
    -DWITH_JAVA=OFF -DWITH_ARITH_ENC=OFF -DWITH_ARITH_DEC=ON >&2
  cmake --build "$b" -j"$OSTRA_WEB_JOBS" --target jpeg-static >&2
  mkdir -p "$prefix/lib" "$prefix/include"
  cp -f "$b/libjpeg.a" "$prefix/lib/"
  for h in jpeglib.h jmorecfg.h jerror.h; do cp -f "$src/$h" "$prefix/include/"; done
  cp -f "$b/jconfig.h" "$prefix/include/"
  touch "$prefix/.stamp-jpeg"
}

build_kissfft
build_jpeg
build_sdl2
build_openmpt
log "libraries ready in $prefix"
