#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz targets with clang in build-fuzz/ and runs the command
# fuzzer for SECONDS (default 60), then the subtitle-file fuzzer for half as
# long. New inputs go to build-fuzz/corpus/ and build-fuzz/subtitle-corpus/;
# the committed seeds in fuzz/ are only read. A crash leaves its input in
# build-fuzz/ and fails the run.
# Usage: fuzz/run.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DTOVIMO_BUILD_FUZZ=ON -DTOVIMO_BUILD_TESTS=OFF -DTOVIMO_BUILD_BENCH=OFF
cmake --build build-fuzz -j"$(nproc)" --target tovimo_command_fuzzer tovimo_subtitle_fuzzer
mkdir -p build-fuzz/corpus build-fuzz/subtitle-corpus
# Leaks are looked for in a run of their own (README, Fuzzing): GStreamer
# allocates from its streaming threads while an input runs, which libFuzzer's
# per-input leak check would count against the input.
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  build-fuzz/tovimo_command_fuzzer -max_total_time="$seconds" -print_final_stats=1 \
  -dict=fuzz/commands.dict -artifact_prefix=build-fuzz/ build-fuzz/corpus fuzz/corpus
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  build-fuzz/tovimo_subtitle_fuzzer -max_total_time="$((seconds / 2))" -print_final_stats=1 \
  -artifact_prefix=build-fuzz/ build-fuzz/subtitle-corpus fuzz/subtitle-corpus
