#!/usr/bin/env bash
# Builds the C libraries that the browser build links (SDL2, libopenmpt,
# libjpeg-turbo, zlib) with emscripten from Debian's source packages, into a cache
# folder outside the clone (kissfft is compiled with the show itself). Installs the Debian tools it needs first. A library whose
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
fetch_source() {
  # fetch_source PACKAGE -> prints the unpacked source folder
  "$here/../deb-source.sh" "$1" "$OSTRA_WEB_CACHE/src"
}

# --- Builds -------------------------------------------------------------------
prefix="$OSTRA_WEB_PREFIX"
mkdir -p "$prefix" "$OSTRA_WEB_CACHE/build"
gen=(-G Ninja)

# cmake_lib NAME PACKAGE TARGET [CMAKE_ARGS...]: configures PACKAGE's source
# with emscripten, then builds and installs it into the prefix (TARGET
# "install") or builds that one target, leaving $lib_src and $lib_build for the
# caller to copy from.
cmake_lib() {
  local name=$1 pkg=$2 target=$3; shift 3
  lib_src=$(fetch_source "$pkg")
  lib_build=$OSTRA_WEB_CACHE/build/$name
  log "building $name from $lib_src"
  rm -rf "$lib_build"
  emcmake cmake -S "$lib_src" -B "$lib_build" "${gen[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >&2
  if [ "$target" = install ]; then
    cmake --build "$lib_build" -j"$OSTRA_WEB_JOBS" >&2
    cmake --install "$lib_build" >&2
  else
    cmake --build "$lib_build" -j"$OSTRA_WEB_JOBS" --target "$target" >&2
  fi
}

build_sdl2() {  # about 4 min
  [ -f "$prefix/.stamp-sdl2" ] && return
  cmake_lib sdl2 libsdl2 install \
    -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_THREADS=OFF -DSDL_OPENGLES=OFF
  touch "$prefix/.stamp-sdl2"
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

build_jpeg() {
  [ -f "$prefix/.stamp-jpeg" ] && return
  # The C code paths decode bit for bit as the desktop's SIMD ones do.
  # CMake's type-size probe misreads wasm objects: give wasm32's sizes.
  cmake_lib jpeg libjpeg-turbo jpeg-static \
    -DHAVE_SIZE_T=TRUE -DSIZE_T=4 -DHAVE_UNSIGNED_LONG=TRUE -DUNSIGNED_LONG=4 \
    -DCMAKE_INSTALL_LIBDIR=lib \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
    -DWITH_JAVA=OFF -DWITH_ARITH_ENC=OFF -DWITH_ARITH_DEC=ON
  mkdir -p "$prefix/lib" "$prefix/include"
  cp -f "$lib_build/libjpeg.a" "$prefix/lib/"
  for h in jpeglib.h jmorecfg.h jerror.h; do cp -f "$lib_src/$h" "$prefix/include/"; done
  cp -f "$lib_build/jconfig.h" "$prefix/include/"
  touch "$prefix/.stamp-jpeg"
}

build_zlib() {  # the checkpoints' packing, seconds
  [ -f "$prefix/.stamp-zlib" ] && return
  local src b=$OSTRA_WEB_CACHE/build/zlib f
  src=$(fetch_source zlib)
  log "building zlib from $src"
  rm -rf "$b"; mkdir -p "$b/include"
  # The library's own C files into a static library, without the gz* file
  # functions (its CMake and configure scripts build shared libraries and
  # tools that are not wanted here). The plain zconf.h is zconf.h.in:
  # configure copies it as it is.
  cp -f "$src/zconf.h.in" "$b/include/zconf.h"
  cp -f "$src/zlib.h" "$b/include/"
  for f in adler32 compress crc32 deflate infback inffast inflate inftrees trees uncompr zutil; do
    emcc -O2 -I"$b/include" -c "$src/$f.c" -o "$b/$f.o" >&2
  done
  emar rcs "$b/libz.a" "$b"/*.o >&2
  mkdir -p "$prefix/lib" "$prefix/include"
  cp -f "$b/libz.a" "$prefix/lib/"
  cp -f "$b/include/zlib.h" "$b/include/zconf.h" "$prefix/include/"
  touch "$prefix/.stamp-zlib"
}

build_zlib
build_jpeg
build_sdl2
build_openmpt
log "libraries ready in $prefix"
