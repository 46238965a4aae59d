#!/usr/bin/env bash
# Fetches and unpacks a Debian source package into a cache folder outside the
# clone (adding a deb-src entry for Debian's archive when apt has none), and
# prints the unpacked source folder. An unpacked package is reused.
#   scripts/deb-source.sh PACKAGE [CACHE_DIR]
#   CACHE_DIR defaults to $OSTRA_SRC_CACHE, else ~/.cache/ostramere-src.
set -euo pipefail
pkg="${1:?usage: deb-source.sh PACKAGE [CACHE_DIR]}"
cache="${2:-${OSTRA_SRC_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/ostramere-src}}"

log() { echo "[deb-source] $*" >&2; }

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"
  elif command -v sudo >/dev/null 2>&1; then sudo "$@"
  else echo "error: root or sudo needed for: $*" >&2; return 1
  fi
}

apt_update() {
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 update -q >&2
}

have_deb_src() {
  grep -Eqs '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null && return 0
  grep -Eqs '^Types:.*deb-src' /etc/apt/sources.list.d/*.sources 2>/dev/null && return 0
  return 1
}

add_deb_src() {
  # Mirrors each binary entry of Debian's own archive as a source entry.
  local out=/etc/apt/sources.list.d/ostramere-deb-src.sources
  local tmp f
  tmp=$(mktemp)
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
  if [ -s "$tmp" ]; then as_root cp "$tmp" "$out"; fi
  if [ -s "$tmp.list" ]; then as_root cp "$tmp.list" /etc/apt/sources.list.d/ostramere-deb-src.list; fi
  rm -f "$tmp" "$tmp.list"
}

dir="$cache/$pkg"
if [ -f "$dir/.ok" ] && [ -d "$(cat "$dir/.ok")" ]; then
  cat "$dir/.ok"; exit 0
fi

# apt-get source unpacks with dpkg-source (Debian's dpkg-dev).
if ! command -v dpkg-source >/dev/null 2>&1; then
  log "installing dpkg-dev"
  apt_update
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 \
    install -y -q --no-install-recommends dpkg-dev >&2
fi
if ! have_deb_src; then
  log "adding a deb-src entry for Debian's archive"
  add_deb_src
  have_deb_src || { echo "error: could not add a deb-src entry to apt's sources" >&2; exit 1; }
  apt_update
fi

rm -rf "$dir"; mkdir -p "$dir"
log "apt-get source $pkg"
if ! (cd "$dir" && apt-get source -q "$pkg" >&2); then
  # The source lists may be stale: refresh once and try again.
  apt_update
  if ! (cd "$dir" && apt-get source -q "$pkg" >&2); then
    # The newest version may sit in an archive that serves no sources (the
    # security updates' mirror here): take the newest version that comes.
    got=""
    for v in $(apt-cache showsrc "$pkg" | sed -n 's/^Version: //p' | sort -u -r -V); do
      rm -rf "${dir:?}"/*
      log "apt-get source $pkg=$v"
      if (cd "$dir" && apt-get source -q "$pkg=$v" >&2); then got=$v; break; fi
    done
    [ -n "$got" ] || { echo "error: apt-get source $pkg failed (every version)" >&2; exit 1; }
  fi
fi
src=$(find "$dir" -mindepth 1 -maxdepth 1 -type d | head -n1)
[ -n "$src" ] || { echo "error: apt-get source $pkg unpacked nothing in $dir" >&2; exit 1; }
echo "$src" > "$dir/.ok"
echo "$src"
