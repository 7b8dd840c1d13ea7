#!/usr/bin/env bash
# Installs the Debian 12 packages that building, playing and testing need.
# Runs apt-get only when something is missing, and 'apt-get update' only then.
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang libclang-rt-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libdeflate-dev libjpeg-dev libpng-dev
  libsdl2-dev libfreetype-dev libfontconfig-dev fonts-ipafont
  python3 python3-pil xvfb x11-utils xdotool openbox
  imagemagick netpbm libjpeg-turbo-progs icoutils
  libvorbis-dev libfluidsynth-dev timgm6mb-soundfont sox
  libavformat-dev libavcodec-dev libswresample-dev libswscale-dev ffmpeg
  libcurl4-openssl-dev giflib-tools zenity iproute2
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "Packages are missing and this is not root: install them with sudo apt-get install ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
