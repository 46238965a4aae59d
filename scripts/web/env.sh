# Sourced by the browser-build scripts: the cache folder, the library prefix
# and the environment that Debian's emscripten needs on this Node.
OSTRA_WEB_CACHE="${OSTRA_WEB_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/ostramere-web}"
# The tag changes whenever the libraries' build recipe changes.
OSTRA_WEB_LIBTAG="${OSTRA_WEB_LIBTAG:-v1}"
OSTRA_WEB_PREFIX="$OSTRA_WEB_CACHE/libs-$OSTRA_WEB_LIBTAG"
OSTRA_WEB_JOBS="${OSTRA_WEB_JOBS:-2}"
export OSTRA_WEB_CACHE OSTRA_WEB_PREFIX OSTRA_WEB_JOBS

# Node does not look in Debian's module folder by itself.
export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
# Node 20's built-in fetch breaks the JS emscripten generates (and runs while
# configuring): turn it off for every build step.
export NODE_OPTIONS="--no-experimental-fetch"
# Emscripten's cache under /usr/share is read-only: use a writable copy.
export EM_CACHE="$OSTRA_WEB_CACHE/emcache"
export EM_FROZEN_CACHE=0

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"
  elif command -v sudo >/dev/null 2>&1; then sudo "$@"
  else echo "error: root or sudo needed for: $*" >&2; return 1
  fi
}

_ostra_apt_updated=""
apt_update_once() {
  if [ -z "$_ostra_apt_updated" ] || [ "${1:-}" = force ]; then
    as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 update -q >&2
    _ostra_apt_updated=1
  fi
}

ensure_em_cache() {
  if [ ! -f "$EM_CACHE/.ostra-copied" ]; then
    rm -rf "$EM_CACHE"; mkdir -p "$(dirname "$EM_CACHE")"
    cp -r /usr/share/emscripten/cache "$EM_CACHE"
    chmod -R u+w "$EM_CACHE"
    touch "$EM_CACHE/.ostra-copied"
  fi
}
