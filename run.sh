#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds Tovimo in build/ (Release) and starts it.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh
scripts/install-deps.sh
build_tree build -DCMAKE_BUILD_TYPE=Release -DTOVIMO_BUILD_TESTS=OFF -DTOVIMO_BUILD_BENCH=OFF
if [[ -z "${DISPLAY:-}" ]]; then
  echo "No DISPLAY is set: Tovimo needs an X11 display (or XWayland) to show its window." >&2
  exit 1
fi
exec ./build/tovimo
