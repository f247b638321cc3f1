#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds Tovimo and its tests in build/ (Release) and
# runs every test under X (Xvfb when no DISPLAY is set). With CI set, warnings
# are errors and the tests run once more under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh
scripts/install-deps.sh --test
build_tree build -DCMAKE_BUILD_TYPE=Release
ensure_display
# With no session bus, libdbus would fork to autolaunch one whenever a test's
# Qt reaches for it, and a fork taken while the sanitizer's allocator lock is
# held by another thread leaves the child, and the test waiting on it, stuck.
# Tests that need a bus start a private one and name it themselves.
export DBUS_SESSION_BUS_ADDRESS="${DBUS_SESSION_BUS_ADDRESS:-unix:path=/nonexistent/tovimo-no-session-bus}"
ctest --test-dir build --output-on-failure -j2

if [[ -n "${CI:-}" ]]; then
  build_tree build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVIMO_SANITIZE=ON -DTOVIMO_BUILD_BENCH=OFF
  # Leak reports are left to dedicated runs: Qt, fontconfig and GStreamer keep
  # process-lifetime caches that LeakSanitizer counts.
  ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j2
fi
