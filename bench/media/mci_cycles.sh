#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Prints tovimo-mci commands for CYCLES cycles of open, put, play, seek,
# play, pause, resume and close on each FILE in turn, for leak runs of the
# media service without Qt (README, Fuzzing). With PARENT set to an X window
# id, the video goes into a child of that window.
# Usage: bench/media/mci_cycles.sh CYCLES FILE... | tovimo-mci
set -euo pipefail
cycles=$1
shift
for ((i = 0; i < cycles; i++)); do
  for file in "$@"; do
    if [[ -n "${PARENT:-}" ]]; then
      echo "open $file type MPEGVideo alias s parent $PARENT style 1073741824"
    else
      echo "open $file type MPEGVideo alias s"
    fi
    printf '%s\n' "put s window at 0 0 320 240" "play s" "seek s to 1000" "play s" "pause s" "resume s" "close s"
  done
done
