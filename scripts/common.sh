# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by run.sh and test.sh: configure and build one tree.
# build_tree DIR [cmake args...]
build_tree() {
  local dir=$1
  shift
  local werror=OFF
  [[ -n "${CI:-}" ]] && werror=ON
  cmake -S . -B "$dir" -DTOVIMO_WERROR="$werror" "$@"
  cmake --build "$dir" -j"$(nproc)"
}

# Starts Xvfb on a free display when no DISPLAY is set, and stops it on exit.
ensure_display() {
  [[ -n "${DISPLAY:-}" ]] && return 0
  local n
  for n in $(seq 90 199); do
    [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -dpi 96 -nolisten tcp -noreset >/dev/null 2>&1 &
    XVFB_PID=$!
    trap 'kill "$XVFB_PID" 2>/dev/null || true' EXIT
    local tries
    for tries in $(seq 1 50); do
      if xdpyinfo -display ":$n" >/dev/null 2>&1; then
        export DISPLAY=":$n"
        echo "Started Xvfb on $DISPLAY"
        return 0
      fi
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill "$XVFB_PID" 2>/dev/null || true
  done
  echo "Could not start Xvfb" >&2
  return 1
}
