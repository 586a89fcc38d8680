#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Tessivane needs.
# Safe to run again; runs apt-get through sudo when not already root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev llvm
  libtiff-dev libjpeg-dev libpng-dev zlib1g-dev
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  libsane-dev sane-utils
  libgtest-dev libgmock-dev libbenchmark-dev
  libtiff-tools qpdf poppler-utils imagemagick
  shared-mime-info desktop-file-utils appstream
  libleptonica-dev unpaper
  xvfb xauth xdotool x11-utils
  img2pdf python3-pikepdf
  libopenjp2-7-dev libjbig2dec0-dev
  cups-daemon cups-core-drivers libcups2-dev
)

as_root=()
if [ "$(id -u)" -ne 0 ]; then as_root=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  "${as_root[@]}" apt-get update -qq
  "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
