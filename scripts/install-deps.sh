#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages needed to build, run and test Tovimo.
# The one list of packages; run.sh and test.sh both call this script.
# Usage: scripts/install-deps.sh [--test]
set -euo pipefail

runtime_packages=(
  g++ cmake pkg-config make
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev libx11-dev libxcb1-dev libfontconfig-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-libav gstreamer1.0-x gstreamer1.0-alsa gstreamer1.0-pulseaudio
  libfluidsynth3 timgm6mb-soundfont
  fonts-liberation
)
test_packages=(
  googletest libgtest-dev libgmock-dev
  xvfb xauth x11-apps x11-utils imagemagick
  gstreamer1.0-tools gstreamer1.0-plugins-base-apps gstreamer1.0-plugins-ugly
  xdotool xserver-xephyr x11-xserver-utils
  clang libclang-rt-dev
  dbus libglib2.0-bin desktop-file-utils appstream
  fuse3 python3-fusepy
  man-db lintian dpkg-dev file
  stress-ng pulseaudio pulseaudio-utils
)

wanted=("${runtime_packages[@]}")
if [[ "${1:-}" == "--test" ]]; then
  wanted+=("${test_packages[@]}")
fi

missing=()
for pkg in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
if [[ $(id -u) -ne 0 ]]; then
  SUDO=sudo
else
  SUDO=
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
