#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The player beside the last landed build, mpv and the full floor, in one
run, in the window and at full screen; marks every row that got worse.

Run by hand:
    bench/media/peer_bench.py --build build --baseline OLD/build/tovimo

Needs mpv, faketime, xdotool and Xvfb (Debian packages mpv, faketime, xdotool,
xvfb) besides the test packages. It starts an Xvfb of its own for each row
(displays --display and up):

- window: a 1280x1024 screen; Tovimo plays the clip in its window
  (`tovimo CLIP`, video scaled into the 632x557 picture area), mpv with
  --vo=x11 into a window of the same size;
- 1080, 2160: screens of 1920x1080 and 3840x2160; Tovimo plays the clip, then
  its "F" button is clicked (full-screen mode: the picture area nearly fills
  the screen); mpv plays with --vo=x11 --fs.

On a generated 1080p30 H.264 + AAC clip it measures, for each program in turn
(and --runs times, taking medians):

- CPU while playing: user + system time of the program's own process (Xvfb
  excluded) over the middle of the clip, in % of one core. The full floor is
  one gst-launch-1.0 pipeline that decodes both streams, scales and converts
  the picture to the picture area's size in the cheaper order (scale first
  when it shrinks, convert first when it grows) and shows it on ximagesink,
  the sound going to fakeaudiosink. A Tovimo row counts only while the
  picture area shows a moving, non-black picture (two grabs of the picture
  window differ): a paused or black player fails the run.
- RSS while playing: the largest VmRSS seen in that window, and the shared
  memory in it (X shared-memory images, Qt's window buffer) at that moment.
- Start-up to a mapped window: from the program's start to the map of its
  first top-level window (Tovimo with no argument on a day without the
  notice; mpv --idle --force-window=immediate).

The build under test runs twice in every run ("tovimo" and "again"): the
gap between the two is the run's noise, per row and figure. With --baseline
(the build of the last landed commit: `git worktree add ../base COMMIT`,
built Release), every figure of the build under test that is worse than the
baseline's by more than that noise (at least 3%) is marked WORSE, and every
ratio past its target is marked MISSED: CPU at most the full floor's in the
window, at most 0.9x mpv's in every row, RSS at most mpv's. The load average
is printed at the start and the end: on a machine shared with other work,
compare CPU only as ratios within one run.
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

# The same generated clip as the media benchmark beside this file.
from media_bench import make_clip

PICTURE = (632, 557)
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
# A day without the notice, so that the first window mapped is the player's.
PLAIN_DAY = "@2026-12-11 12:00:00"
FAKETIME_LIB = "/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1"
# Screen size and whether the row plays at full screen.
ROWS = {"window": (1280, 1024, False), "1080": (1920, 1080, True), "2160": (3840, 2160, True)}
# The full-screen button is 460 x 375 twips: 31 x 25 pixels at 96 dpi.
FULL_SCREEN_BUTTON = (31, 25)


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


def memory_mb(pid):
    """VmRSS and RssShmem in MB."""
    values = {}
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            key, _, rest = line.partition(":")
            if key in ("VmRSS", "RssShmem"):
                values[key] = int(rest.split()[0]) / 1024
    return values.get("VmRSS", 0.0), values.get("RssShmem", 0.0)


class Xvfb:
    """An X server of its own for one row."""

    def __init__(self, number, width, height):
        self.display = f":{number}"
        socket = f"/tmp/.X11-unix/X{number}"
        if os.path.exists(socket):
            raise RuntimeError(f"display {self.display} is taken (choose another with --display)")
        self.process = subprocess.Popen(
            ["Xvfb", self.display, "-screen", "0", f"{width}x{height}x24", "-dpi", "96", "-nolisten", "tcp",
             "-noreset"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while not os.path.exists(socket):
            if time.monotonic() > deadline or self.process.poll() is not None:
                self.close()
                raise RuntimeError(f"Xvfb {self.display} did not start")
            time.sleep(0.05)
        time.sleep(0.2)

    def close(self):
        self.process.terminate()
        self.process.wait()


def windows_of(pid, env):
    """(id, x, y, width, height) of every window that names `pid` as its owner."""
    found = subprocess.run(["xdotool", "search", "--pid", str(pid)], env=env, capture_output=True, text=True)
    windows = []
    for window in found.stdout.split():
        info = subprocess.run(["xwininfo", "-id", window], env=env, capture_output=True, text=True).stdout
        fields = {}
        for line in info.splitlines():
            key, _, value = line.strip().partition(":")
            fields[key] = value.strip()
        try:
            windows.append((window, int(fields["Absolute upper-left X"]), int(fields["Absolute upper-left Y"]),
                            int(fields["Width"]), int(fields["Height"])))
        except (KeyError, ValueError):
            continue
    return windows


def go_full_screen(pid, env, screen):
    """Clicks the player's full-screen button; returns the picture area's size."""
    buttons = [w for w in windows_of(pid, env) if (w[3], w[4]) == FULL_SCREEN_BUTTON]
    if len(buttons) != 1:
        raise RuntimeError(f"tovimo: found {len(buttons)} full-screen buttons")
    _, x, y, width, height = buttons[0]
    # No --sync: it waits for the pointer to move, and on the row's second run
    # the pointer already rests on the button, so xdotool hung for 15 s while
    # the clip played on to its end and the row measured a stopped player.
    subprocess.run(["xdotool", "mousemove", str(x + width // 2), str(y + height // 2), "click", "1"],
                   env=env, check=True, timeout=5)
    deadline = time.monotonic() + 5
    while time.monotonic() < deadline:
        # The top-level window is the largest, the picture area the next.
        windows = sorted(windows_of(pid, env), key=lambda w: w[3] * w[4], reverse=True)
        # Full-screen mode sizes the window's outer rectangle, frame included,
        # to the screen; with no window manager the window is a little smaller.
        if len(windows) > 1 and windows[0][3] > 0.9 * screen[0]:
            return windows[1][3], windows[1][4]
        time.sleep(0.1)
    raise RuntimeError("tovimo: the window did not go to full screen")


def picture_window(pid, env):
    """The id of the player's picture area: the largest window after the top-level one."""
    windows = sorted(windows_of(pid, env), key=lambda w: w[3] * w[4], reverse=True)
    if len(windows) < 2:
        raise RuntimeError("tovimo: no picture area")
    return windows[1][0]


def check_playing(pid, env):
    """Fails unless the picture area shows a moving picture that is not black."""
    window = picture_window(pid, env)
    grabs = []
    for _ in range(2):
        shown = subprocess.run(["import", "-window", window, "-resize", "64x64!", "-colorspace", "gray",
                                "-format", "%# %[fx:mean]", "info:"], env=env, capture_output=True, text=True)
        signature, _, mean = shown.stdout.strip().partition(" ")
        grabs.append((signature, float(mean or 0)))
        time.sleep(0.4)
    if grabs[0][0] == grabs[1][0]:
        raise RuntimeError("tovimo: the picture did not move (paused or stopped)")
    if max(mean for _, mean in grabs) < 0.05:
        raise RuntimeError("tovimo: the picture is black")


def measure_playing(argv, env, settle, window, playing_for, full_screen=None, playing=None):
    """CPU %, peak RSS and its shared part over `window` seconds after `settle`.

    `full_screen(pid)` runs first when given; its result is returned too.
    `playing(pid, picture)` runs after the measurement, the program still running.
    Fails when the window would end later than `playing_for` seconds after
    the start, past the clip's end: a stopped program measures nothing."""
    started = time.monotonic()
    process = subprocess.Popen(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        picture = None
        if full_screen:
            time.sleep(settle)
            picture = full_screen(process.pid)
        time.sleep(settle)
        if process.poll() is not None:
            raise RuntimeError(f"{argv[0]} ended early with {process.returncode}")
        start_cpu, start = cpu_seconds(process.pid), time.monotonic()
        if start + window > started + playing_for:
            raise RuntimeError(f"{argv[0]}: the clip ends before the measurement does "
                               f"(it starts {start - started:.1f} s in)")
        peak, shared = 0.0, 0.0
        while time.monotonic() - start < window:
            rss, shm = memory_mb(process.pid)
            if rss > peak:
                peak, shared = rss, shm
            time.sleep(0.25)
        cpu = cpu_seconds(process.pid) - start_cpu
        elapsed = time.monotonic() - start
        if playing:
            playing(process.pid, picture)
        return 100.0 * cpu / elapsed, peak, shared, picture
    finally:
        process.kill()
        process.wait()


def measure_startup(probe, argv, env):
    listener = subprocess.Popen([probe], stdout=subprocess.PIPE, text=True, env=env)
    if listener.stdout.readline().strip() != "ready":
        raise RuntimeError("map probe did not start")
    start = time.monotonic_ns()
    process = subprocess.Popen(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    mapped = listener.stdout.readline().strip()
    listener.wait()
    time.sleep(0.3)
    process.kill()
    process.wait()
    if mapped == "timeout":
        raise RuntimeError(f"{argv[0]} mapped no window")
    return (int(mapped) - start) / 1e6


def floor_argv(clip, picture, source=(1920, 1080)):
    width, height = picture
    order = "videoscale ! videoconvert" if width <= source[0] and height <= source[1] else "videoconvert ! videoscale"
    return ["gst-launch-1.0", "-q"] + (
        f"filesrc location={clip} ! qtdemux name=demux "
        f"demux.video_0 ! queue ! h264parse ! avdec_h264 ! {order} ! video/x-raw,width={width},height={height} "
        f"! ximagesink demux.audio_0 ! queue ! aacparse ! avdec_aac ! audioconvert ! audioresample "
        f"! fakeaudiosink").split()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build", help="build folder holding tovimo and the probes")
    parser.add_argument("--baseline", help="another tovimo binary to measure beside it (before a change)")
    parser.add_argument("--runs", type=int, default=2)
    parser.add_argument("--seconds", type=int, default=16, help="length of the generated clip")
    parser.add_argument("--rows", default=",".join(ROWS), help="which rows, of: " + ", ".join(ROWS))
    parser.add_argument("--display", type=int, default=180, help="first X display number the rows may use")
    args = parser.parse_args()
    rows = args.rows.split(",")
    if any(row not in ROWS for row in rows):
        sys.exit(f"peer_bench: rows are {', '.join(ROWS)}")
    for tool in ("mpv", "gst-launch-1.0", "xdotool", "xwininfo", "import", "Xvfb", FAKETIME_LIB):
        if subprocess.run(["which", tool], stdout=subprocess.DEVNULL).returncode != 0 and not os.path.exists(tool):
            sys.exit(f"peer_bench: {tool} is missing (apt-get install mpv faketime xdotool xvfb x11-utils imagemagick "
                     "gstreamer1.0-tools)")
    tovimos = {"tovimo": os.path.abspath(os.path.join(args.build, "tovimo"))}
    tovimos["again"] = tovimos["tovimo"]
    if args.baseline:
        tovimos["baseline"] = os.path.abspath(args.baseline)
    probe = os.path.abspath(os.path.join(args.build, "bench", "media", "tovimo_map_probe"))
    settle = 2.5
    window = args.seconds - 2 * settle - 3
    # Some room for a slow start: the window ends well before the clip.
    playing_for = args.seconds - 1
    if window < 3 or args.runs < 1:
        sys.exit("peer_bench: --seconds is too short")

    results = {}  # (row, name) -> {"cpu": [], "rss": [], "shm": [], "start": []}

    def record(row, name, key, value):
        results.setdefault((row, name), {}).setdefault(key, []).append(value)

    print(f"load average at the start: {' '.join(f'{load:.2f}' for load in os.getloadavg())}", flush=True)
    with tempfile.TemporaryDirectory() as folder:
        clip = os.path.join(folder, "clip1080.mp4")
        print(f"making a {args.seconds} s 1080p30 H.264/AAC clip ...", flush=True)
        make_clip(clip, args.seconds)
        for number, row in enumerate(rows):
            width, height, full = ROWS[row]
            server = Xvfb(args.display + number, width, height)
            try:
                env = dict(os.environ, DISPLAY=server.display)
                # libfaketime in the player's own process, so that the pid measured is the player's.
                # NO_FAKE_STAT keeps file times real, or fontconfig would rewrite its caches at every start.
                plain_day = dict(env, FAKETIME=PLAIN_DAY, FAKETIME_DONT_FAKE_MONOTONIC="1", NO_FAKE_STAT="1",
                                 LD_PRELOAD=FAKETIME_LIB)
                mpv_size = ["--fs"] if full else [f"--geometry={PICTURE[0]}x{PICTURE[1]}", "--no-border"]
                mpv = ["mpv", "--no-config", "--vo=x11", "--ao=null", "--really-quiet"]
                for run in range(args.runs):
                    picture = PICTURE
                    # Run from a scratch folder: the player keeps its favourites beside itself
                    # or in the user's data folder, and neither is touched by playing.
                    for name, binary in tovimos.items():
                        toggle = (lambda pid: go_full_screen(pid, plain_day, (width, height))) if full else None
                        check = lambda pid, _: check_playing(pid, plain_day)
                        cpu, rss, shm, seen = measure_playing([binary, clip], plain_day, settle, window, playing_for,
                                                              toggle, check)
                        picture = seen or picture
                        for key, value in (("cpu", cpu), ("rss", rss), ("shm", shm)):
                            record(row, name, key, value)
                    others = {"mpv": (mpv + mpv_size + [clip], env), "floor": (floor_argv(clip, picture), env)}
                    for name, (argv, name_env) in others.items():
                        cpu, rss, shm, _ = measure_playing(argv, name_env, settle, window, playing_for)
                        for key, value in (("cpu", cpu), ("rss", rss), ("shm", shm)):
                            record(row, name, key, value)
                    # Start-up is short and easily disturbed: three of each per run.
                    for _ in range(3):
                        for name, binary in tovimos.items():
                            record(row, name, "start", measure_startup(probe, [binary], plain_day))
                        record(row, "mpv", "start", measure_startup(
                            probe, mpv + ["--idle", "--force-window=immediate"] + mpv_size, env))
                    print(f"{row}: run {run + 1}/{args.runs} done (picture {picture[0]}x{picture[1]})", flush=True)
            finally:
                server.close()

    med = statistics.median
    names = list(tovimos) + ["mpv", "floor"]
    print(f"load average at the end: {' '.join(f'{load:.2f}' for load in os.getloadavg())}")
    print(f"\nmedians of {args.runs} runs (CPU: 100% = one core; shm: the shared memory within RSS; "
          "again: the same build a second time)")
    print(f"  {'row':7s} {'':9s} {'CPU %':>7s} {'RSS MB':>7s} {'shm MB':>7s} {'start ms':>9s}")
    for row in rows:
        for name in names:
            figures = results[(row, name)]
            started = f"{med(figures['start']):9.1f}" if "start" in figures else f"{'':9s}"
            print(f"  {row:7s} {name:9s} {med(figures['cpu']):7.1f} {med(figures['rss']):7.1f} "
                  f"{med(figures['shm']):7.1f} {started}")

    def figure(row, name, key):
        return med(results[(row, name)][key])

    print("\nratios (targets: CPU/floor at most 1.00 in the window; CPU/mpv at most 0.90 and RSS/mpv at most 1.00 "
          "in every row)")
    for row in rows:
        for name in [n for n in tovimos if n != "again"]:
            cpu_floor = figure(row, name, "cpu") / figure(row, "floor", "cpu")
            cpu_mpv = figure(row, name, "cpu") / figure(row, "mpv", "cpu")
            rss_mpv = figure(row, name, "rss") / figure(row, "mpv", "rss")
            start_mpv = figure(row, name, "start") / figure(row, "mpv", "start")
            missed = [what for what, value, target in (("CPU/floor", cpu_floor, 1.00 if row == "window" else None),
                                                       ("CPU/mpv", cpu_mpv, 0.90), ("RSS/mpv", rss_mpv, 1.00))
                      if target is not None and value > target]
            print(f"  {row:7s} {name:9s} CPU/floor {cpu_floor:.2f}  CPU/mpv {cpu_mpv:.2f}  RSS/mpv {rss_mpv:.2f}  "
                  f"start/mpv {start_mpv:.2f}" + (f"  MISSED {', '.join(missed)}" if missed else ""))

    print("\nnoise (the same build twice) and tovimo against the baseline")
    for row in rows:
        line = f"  {row:7s}"
        for key, label in (("cpu", "CPU"), ("rss", "RSS"), ("start", "start")):
            first, second = figure(row, "tovimo", key), figure(row, "again", key)
            noise = max(abs(first - second) / ((first + second) / 2), 0.03)
            line += f"  {label} noise {100 * noise:4.1f}%"
            if "baseline" in tovimos:
                before = figure(row, "baseline", key)
                change = (first + second) / 2 / before - 1
                line += f" change {100 * change:+5.1f}%" + (" WORSE" if change > noise else "")
        print(line)


if __name__ == "__main__":
    main()
