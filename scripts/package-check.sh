#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from a Release tree, checks it with lintian, then
# does what a user does with it: apt-get installs it, starts the menu entry's
# command on a generated clip under Xvfb, and removes it again. Fails when
# lintian reports an error, when the installed player does not show its
# window and play, or when anything of the package (or anything it wrote
# beside its files) stays after the removal.
#
# Needs root (apt-get, dpkg) and the test packages of install-deps.sh. The
# machine is left as it was found: the package is purged on every way out,
# and packages pulled in for it only are purged with it.
# Usage: scripts/package-check.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")

fail() {
  echo "package-check: $*" >&2
  exit 1
}

[[ $(id -u) -eq 0 ]] || fail "needs root: it installs and removes the package"
[[ -f $build/CPackConfig.cmake ]] || fail "$build is not a configured build tree"
grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$build/CMakeCache.txt" || fail "$build is not a Release tree"
if dpkg-query -W -f='${Status}' tovimo 2>/dev/null | grep -q 'installed'; then
  fail "tovimo is installed already; this check installs and removes it, so it leaves that one alone"
fi

work=$(mktemp -d /tmp/tovimo-package-check.XXXXXX)
# apt's download user reads the .deb from here.
chmod 755 "$work"
pids=()
installed=0
packages_before="$work/packages-before"
cleanup() {
  local pid
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  if ((installed)); then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq tovimo >/dev/null 2>&1 || true
  fi
  if [[ -f $packages_before ]]; then
    local added
    added=$(comm -13 "$packages_before" <(dpkg-query -W -f='${binary:Package}\n' | sort) || true)
    if [[ -n $added ]]; then
      echo "Removing what the package pulled in: $added"
      # shellcheck disable=SC2086
      DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq $added >/dev/null 2>&1 || true
    fi
  fi
  rm -rf "$work"
}
trap cleanup EXIT

echo "== Building the package from $build"
cmake --build "$build" -j"$(nproc)" >/dev/null
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack failed"; }
debs=("$work"/tovimo_*_amd64.deb)
[[ -f ${debs[0]} && ${#debs[@]} -eq 1 ]] || fail "cpack made no single tovimo_*_amd64.deb"
deb=${debs[0]}
echo "$(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"

echo "== lintian"
lintian_status=0
lintian --fail-on error --display-info "$deb" >"$work/lintian.log" 2>&1 || lintian_status=$?
grep -v '^running with root privileges' "$work/lintian.log" || true
((lintian_status == 0)) || fail "lintian reports errors"

echo "== Installing"
dpkg-query -W -f='${binary:Package}\n' | sort >"$packages_before"
# The package's entries as absolute paths: its folders, then everything else.
entries() { dpkg-deb -c "$deb" | awk -v folders="$1" '($1 ~ /^d/) == folders {print $6}' |
  sed 's|^\./|/|; s|/$||' | grep -v '^$'; }
entries 1 >"$work/folders"
entries 0 >"$work/files"
# The package's folders that are there before (they stay), and what the
# folders holding its files hold before: nothing new may be there after.
folders() {
  local path
  while read -r path; do
    if [[ -d $path ]]; then echo "$path"; fi
  done <"$work/folders"
}
neighbours() {
  local path
  while read -r path; do
    dirname "$path"
  done <"$work/files" | sort -u | while read -r path; do
    if [[ -d $path ]]; then find "$path" -mindepth 1 -maxdepth 1; fi
  done | sort -u
}
folders >"$work/folders-before"
installed=1
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; fail "apt-get install failed"; }
dpkg -L tovimo | sort >"$work/listed"
# Taken with the package in place, so its own files are in it too.
neighbours >"$work/neighbours-before"
for file in /usr/bin/tovimo /usr/bin/tovimo-mci /usr/share/man/man1/tovimo.1.gz \
  /usr/share/man/man1/tovimo-mci.1.gz /usr/share/doc/tovimo/copyright; do
  grep -qx "$file" "$work/listed" || fail "$file is not in the package"
done
for page in tovimo tovimo-mci; do
  warnings=$(man --warnings -l "/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [[ -z $warnings ]] || fail "man warns on $page(1): $warnings"
done

echo "== Playing a clip from the menu entry's command"
clip="$work/clip space.mp4"
gst-launch-1.0 -q videotestsrc num-buffers=100 pattern=smpte \
  ! video/x-raw,width=320,height=240,framerate=25/1,format=I420 ! x264enc speed-preset=ultrafast \
  ! h264parse ! mp4mux name=mux ! filesink location="$clip" \
  audiotestsrc num-buffers=180 ! audioconvert ! avenc_aac ! mux. >/dev/null ||
  fail "could not make the test clip"
reply=$(env -i PATH=/usr/bin:/bin /usr/bin/tovimo-mci -e "open \"$clip\" alias a" "status a length" "close all")
[[ $(sed -n 2p <<<"$reply") =~ ^0$'\t'[34][0-9]{3}$ ]] || fail "tovimo-mci does not read the clip: $reply"

display=
for n in $(seq 300 399); do
  [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 1 50); do
    xdpyinfo -display ":$n" >/dev/null 2>&1 && { display=":$n"; break 2; }
    sleep 0.1
  done
done
[[ -n $display ]] || fail "could not start Xvfb"
bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
pids+=("$(sed -n 2p <<<"$bus")")
bus=$(head -n 1 <<<"$bus")

exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/org.tovimo.Tovimo.desktop)
[[ $exec_line == *%f* ]] || fail "the desktop entry's command takes no file: $exec_line"
read -r -a command <<<"$exec_line"
for i in "${!command[@]}"; do
  [[ ${command[$i]} == %f ]] && command[i]=$clip
done
mkdir -m 700 "$work/home" "$work/runtime"
env -i PATH=/usr/bin:/bin HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" DISPLAY="$display" \
  DBUS_SESSION_BUS_ADDRESS="$bus" "${command[@]}" >"$work/player.log" 2>&1 &
player=$!
pids+=("$player")

mpris() {
  DBUS_SESSION_BUS_ADDRESS=$bus gdbus call --session --dest org.mpris.MediaPlayer2.tovimo \
    --object-path /org/mpris/MediaPlayer2 "$@" 2>/dev/null
}
property() {
  mpris --method org.freedesktop.DBus.Properties.Get org.mpris.MediaPlayer2.Player "$1"
}
status=
for _ in $(seq 1 100); do
  kill -0 "$player" 2>/dev/null || { cat "$work/player.log"; fail "the player ended at start-up"; }
  status=$(property PlaybackStatus || true)
  [[ $status == *Playing* ]] && break
  sleep 0.2
done
[[ $status == *Playing* ]] || { cat "$work/player.log"; fail "the player does not play the clip: $status"; }
DISPLAY=$display xdotool search --onlyvisible --name '^Tovimo$' >/dev/null ||
  fail "no window named Tovimo is mapped"
sleep 1
position=$(property Position | grep -o '[0-9]*' | tail -n 1)
((${position:-0} > 0)) || fail "the position does not move while playing"
echo "playing, at $((position / 1000)) ms after a second"
mpris --method org.mpris.MediaPlayer2.Quit >/dev/null || fail "the player does not answer Quit"
for _ in $(seq 1 100); do
  kill -0 "$player" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$player" 2>/dev/null && fail "the player is still running 10 s after Quit"
wait "$player" || fail "the player ended with status $?: $(cat "$work/player.log")"

echo "== Removing"
DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq tovimo >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; fail "apt-get remove failed"; }
installed=0
if dpkg-query -W -f='${Status}' tovimo 2>/dev/null | grep -q 'installed\|config-files'; then
  fail "dpkg still knows the package after its removal: $(dpkg-query -W -f='${Status}' tovimo)"
fi
left=0
while read -r path; do
  if [[ -e $path && ! -d $path ]]; then
    echo "left behind: $path" >&2
    left=1
  fi
done <"$work/listed"
while read -r path; do
  if [[ -d $path ]] && ! grep -qxF "$path" "$work/folders-before"; then
    echo "left behind: the folder $path" >&2
    left=1
  fi
done <"$work/folders"
# New beside the package's files, except the caches that the desktop's
# triggers write afresh.
while read -r path; do
  case $path in
  */mimeinfo.cache | */icon-theme.cache) ;;
  *)
    echo "left behind: $path" >&2
    left=1
    ;;
  esac
done < <(comm -13 "$work/neighbours-before" <(neighbours))
((left == 0)) || fail "files stay after the removal"
echo "package-check: built, lintian-clean of errors, installed, played and removed without a trace"
