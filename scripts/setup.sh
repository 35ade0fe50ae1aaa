#!/usr/bin/env bash
# Installs the Debian packages the project needs (only those missing).
# Runs apt-get directly as root, through sudo otherwise.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev ccache
  libsdl2-dev libsdl2-mixer-dev libgl-dev libegl-dev libgl1-mesa-dri libegl-mesa0
  libpng-dev liblzo2-dev libx11-dev
  libcurl4-openssl-dev libssl-dev zlib1g-dev openssl ca-certificates
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev ffmpeg libmp3lame-dev
  libgtest-dev libbenchmark-dev
  xvfb xauth xdotool openbox x11-utils
  python3
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
