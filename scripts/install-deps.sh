#!/usr/bin/env bash
# Installs the Debian 12 packages the show needs to build, generate its data,
# play and test, when any of them is missing, and unpacks kissfft's Debian
# source package, which the show compiles itself (cmake/kissfft.cmake).
# With the argument `fuzz`, clang and its runtime libraries (libFuzzer and
# the sanitizers) for the fuzz targets (make fuzz, make fuzz-smoke) instead.
# Nothing is downloaded outside Debian's own package archive.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsdl1.2-compat-dev libsdl2-dev libstb-dev
  libopenmpt-dev dpkg-dev
  libpng-dev zlib1g-dev libjpeg-dev
  libfreetype-dev fonts-dejavu-core
  libcli11-dev libgtest-dev libbenchmark-dev
  ffmpeg
)
if [ "${1:-}" = fuzz ]; then
  packages=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

fetch_sources() {
  "$(dirname "$0")/deb-source.sh" kissfft >/dev/null
}

if [ ${#missing[@]} -eq 0 ]; then
  fetch_sources
  exit 0
fi

echo "Installing missing Debian packages: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  apt=(env DEBIAN_FRONTEND=noninteractive apt-get)
elif command -v sudo >/dev/null 2>&1; then
  apt=(sudo env DEBIAN_FRONTEND=noninteractive apt-get)
else
  echo "error: these Debian packages are missing and neither root nor sudo is available to install them:" >&2
  echo "  ${missing[*]}" >&2
  echo "Install them as root (apt-get install ${missing[*]}) and run make again." >&2
  exit 1
fi
"${apt[@]}" update -q
"${apt[@]}" install -y -q --no-install-recommends "${missing[@]}"
fetch_sources
