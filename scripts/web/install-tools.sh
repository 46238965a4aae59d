#!/usr/bin/env bash
# Installs the Debian packages the browser build and its tests need, when any
# is missing: emscripten, the source-package tools, stb_image, and for the
# tests chromium, firefox-esr, WebKitGTK's WebDriver with Xvfb and
# GStreamer's PulseAudio output, and pulseaudio (a null sink gives Firefox
# and WebKit a running sound output).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/env.sh"

packages=(emscripten dpkg-dev ninja-build cmake pkg-config libstb-dev chromium firefox-esr pulseaudio python3 nodejs
          webkit2gtk-driver xvfb xauth gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-pulseaudio)
missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
# Node and npm may come from elsewhere than Debian: accept any on the PATH.
if command -v node >/dev/null 2>&1; then
  missing=("${missing[@]/nodejs}")
fi
missing=($(printf '%s\n' "${missing[@]}" | grep -v '^$' || true))
if ! command -v npm >/dev/null 2>&1; then missing+=(npm); fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "[web-tools] installing Debian packages: ${missing[*]}" >&2
  apt_update_once
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 \
    install -y -q --no-install-recommends "${missing[@]}" >&2
fi
ensure_em_cache
