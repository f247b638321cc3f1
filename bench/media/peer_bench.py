#!/usr/bin/env python3
"""The player window beside mpv and a bare GStreamer pipeline, in one run.

Run by hand, on an otherwise idle machine:
    Xvfb :53 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp &
    DISPLAY=:53 bench/media/peer_bench.py --build build

Needs mpv and faketime (Debian packages mpv, faketime) besides the test
packages. On a generated 1080p30 H.264 + AAC clip it measures, for each
program in turn (and --runs times, taking medians):

- CPU while playing: user + system time of the program's own process (Xvfb
  excluded) over the middle of the clip, in % of one core. Tovimo plays the
  clip in its window (`tovimo CLIP`, video scaled into the 632x557 picture
  area); mpv plays it with --vo=x11 into a window of the same size; the floor
  is decode + convert + scale with no display:
  `filesrc ! qtdemux ! h264parse ! avdec_h264 ! videoconvert ! videoscale !
  video/x-raw,width=632,height=557 ! fakesink sync=true`.
- RSS while playing: the largest VmRSS seen in that window.
- Start-up to a mapped window: from the program's start to the map of its
  first top-level window (Tovimo with no argument on a day without the
  notice; mpv --idle --force-window=immediate).

Then prints the ratios that the targets are stated in.
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


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


def rss_mb(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0.0


def measure_playing(argv, env, settle, window):
    """CPU % and peak RSS of a process over `window` seconds after `settle`."""
    process = subprocess.Popen(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(settle)
        if process.poll() is not None:
            raise RuntimeError(f"{argv[0]} ended early with {process.returncode}")
        start_cpu, start = cpu_seconds(process.pid), time.monotonic()
        peak = 0.0
        while time.monotonic() - start < window:
            peak = max(peak, rss_mb(process.pid))
            time.sleep(0.25)
        cpu = cpu_seconds(process.pid) - start_cpu
        return 100.0 * cpu / (time.monotonic() - start), peak
    finally:
        process.kill()
        process.wait()


def measure_startup(probe, argv, env):
    listener = subprocess.Popen([probe], stdout=subprocess.PIPE, text=True)
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


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build", help="build folder holding tovimo and the probes")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--seconds", type=int, default=14, help="length of the generated clip")
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        sys.exit("peer_bench: needs an X display (see the top of this file)")
    for tool in ("mpv", "gst-launch-1.0", "/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1"):
        if subprocess.run(["which", tool], stdout=subprocess.DEVNULL).returncode != 0 and not os.path.exists(tool):
            sys.exit(f"peer_bench: {tool} is missing (apt-get install mpv faketime gstreamer1.0-tools)")
    tovimo = os.path.abspath(os.path.join(args.build, "tovimo"))
    probe = os.path.abspath(os.path.join(args.build, "bench", "media", "tovimo_map_probe"))
    # libfaketime in the player's own process, so that the pid measured is the player's.
    # NO_FAKE_STAT keeps file times real, or fontconfig would rewrite its caches at every start.
    plain_day = dict(os.environ, FAKETIME=PLAIN_DAY, FAKETIME_DONT_FAKE_MONOTONIC="1", NO_FAKE_STAT="1",
                     LD_PRELOAD="/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1")
    width, height = PICTURE
    settle, window = 3.0, args.seconds - 5.0

    with tempfile.TemporaryDirectory() as folder:
        clip = os.path.join(folder, "clip1080.mp4")
        print(f"making a {args.seconds} s 1080p30 H.264/AAC clip ...", flush=True)
        make_clip(clip, args.seconds)
        # Run from a scratch folder: the player keeps its favourites beside itself
        # or in the user's data folder, and neither is touched by playing.
        players = {
            "tovimo": [tovimo, clip],
            "mpv": ["mpv", "--no-config", "--vo=x11", "--ao=null", "--really-quiet",
                    f"--geometry={width}x{height}", "--no-border", clip],
            "floor": ["gst-launch-1.0", "-q", "filesrc", f"location={clip}", "!", "qtdemux", "!", "h264parse",
                      "!", "avdec_h264", "!", "videoconvert", "!", "videoscale", "!",
                      f"video/x-raw,width={width},height={height}", "!", "fakesink", "sync=true"],
        }
        startups = {
            "tovimo": [tovimo],
            "mpv": ["mpv", "--no-config", "--idle", "--force-window=immediate", "--vo=x11", "--ao=null",
                    f"--geometry={width}x{height}"],
        }
        cpu = {name: [] for name in players}
        rss = {name: [] for name in players}
        start = {name: [] for name in startups}
        for run in range(args.runs):
            for name, argv in players.items():
                c, r = measure_playing(argv, plain_day if name == "tovimo" else None, settle, window)
                cpu[name].append(c)
                rss[name].append(r)
            for name, argv in startups.items():
                start[name].append(measure_startup(probe, argv, plain_day if name == "tovimo" else None))
            print(f"run {run + 1}/{args.runs} done", flush=True)

    med = statistics.median
    print(f"\nmedians of {args.runs} runs (CPU: 100% = one core)")
    print(f"  {'':10s} {'CPU %':>8s} {'RSS MB':>8s} {'start ms':>9s}")
    for name in players:
        started = f"{med(start[name]):9.1f}" if name in start else f"{'':9s}"
        print(f"  {name:10s} {med(cpu[name]):8.1f} {med(rss[name]):8.1f} {started}")
    print("\nratios (target at most 1.00 for RSS and start-up, 1.10 for CPU)")
    print(f"  CPU tovimo / floor      {med(cpu['tovimo']) / med(cpu['floor']):.2f}")
    print(f"  CPU tovimo / mpv        {med(cpu['tovimo']) / med(cpu['mpv']):.2f}")
    print(f"  RSS tovimo / mpv        {med(rss['tovimo']) / med(rss['mpv']):.2f}")
    print(f"  start-up tovimo / mpv   {med(start['tovimo']) / med(start['mpv']):.2f}")


if __name__ == "__main__":
    main()
