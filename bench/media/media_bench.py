#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Times the media service through tovimo-mci on a generated 1080p H.264 clip,
side by side with gst-play-1.0 on the same file.

Run by hand, with an X display of at least 1920x1080 and no other load:
    Xvfb :52 -screen 0 1920x1080x24 -nolisten tcp &
    DISPLAY=:52 bench/media/media_bench.py --build build

The clip has a key frame every 2 s, as usual for such files.

Figures: open latency (command to reply), open to first pixels in the
window, play to the first new frame in the window, accurate seek latency
while paused, and CPU (user + system of the player process, Xvfb excluded)
while playing the clip to its end. Medians of --runs runs.
"""
import argparse
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time


def make_clip(path, seconds):
    frames = seconds * 30
    buffers = seconds * 10
    pipeline = (
        f"videotestsrc num-buffers={frames} pattern=smpte horizontal-speed=8 "
        f"! video/x-raw,width=1920,height=1080,framerate=30/1,format=I420 "
        f"! x264enc speed-preset=veryfast bitrate=8000 key-int-max=60 ! h264parse ! mp4mux name=m ! filesink location={path} "
        f"audiotestsrc samplesperbuffer=4800 num-buffers={buffers} ! audio/x-raw,rate=48000,channels=2 "
        f"! audioconvert ! avenc_aac ! aacparse ! m."
    )
    subprocess.run(["gst-launch-1.0", "-q"] + pipeline.split(), check=True)


class Line:
    """A child process spoken to line by line."""

    def __init__(self, argv):
        self.process = subprocess.Popen(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)

    def send(self, text):
        self.process.stdin.write(text + "\n")
        self.process.stdin.flush()

    def read(self):
        return self.process.stdout.readline().rstrip("\n")

    def close(self):
        self.process.stdin.close()
        self.process.wait(timeout=30)


def command(mci, text):
    start = time.monotonic()
    mci.send(text)
    reply = mci.read()
    elapsed = time.monotonic() - start
    if not reply.startswith("0\t"):
        raise RuntimeError(f"{text!r} answered {reply!r}")
    return elapsed * 1000, reply


def interactive_run(mci_path, probe_path, clip):
    probe = Line([probe_path, "1920", "1080"])
    window = probe.read()
    mci = Line([mci_path, "-e"])
    figures = {}

    # The first open of a process also loads plugins and probes the sinks.
    figures["open, first in process"], _ = command(mci, f"open {clip} type MPEGVideo alias a")
    command(mci, "close all")
    probe.send("content")
    start = time.monotonic_ns()
    figures["open, again"], _ = command(mci, f"open {clip} type MPEGVideo alias a parent {window} style 1073741824")
    shown = probe.read()
    figures["open to first pixels"] = (int(shown) - start) / 1e6 if shown != "timeout" else float("nan")

    probe.send("change")
    assert probe.read() == "ready"
    start = time.monotonic_ns()
    command(mci, "play a")
    changed = probe.read()
    figures["play to first new frame"] = (int(changed) - start) / 1e6 if changed != "timeout" else float("nan")

    time.sleep(1.0)
    command(mci, "pause a")
    seeks = [command(mci, f"seek a to {ms}")[0] for ms in (7000, 2000, 5500, 9000, 3300)]
    figures["accurate seek (paused)"] = statistics.median(seeks)
    figures["position query"] = statistics.median(command(mci, "status a position")[0] for _ in range(20))
    command(mci, "close all")
    mci.close()
    probe.send("quit")
    probe.close()
    return figures


def cpu_run(argv):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    subprocess.run(argv, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return 100.0 * cpu / wall, wall


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build", help="build folder holding tovimo-mci and the probe")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--seconds", type=int, default=10, help="length of the generated clip")
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        sys.exit("media_bench: needs an X display (see the top of this file)")
    mci_path = os.path.join(args.build, "tovimo-mci")
    probe_path = os.path.join(args.build, "bench", "media", "tovimo_frame_probe")

    with tempfile.TemporaryDirectory() as folder:
        clip = os.path.join(folder, "clip1080.mp4")
        print(f"making a {args.seconds} s 1080p30 H.264/AAC clip ...", flush=True)
        make_clip(clip, args.seconds)

        runs = [interactive_run(mci_path, probe_path, clip) for _ in range(args.runs)]
        print("\ntovimo-mci, child window 1920x1080 (ms, median of %d)" % args.runs)
        for name in runs[0]:
            print(f"  {name:28s} {statistics.median(r[name] for r in runs):8.2f}")

        ours = [
            cpu_run([mci_path, f"open {clip} alias a", "play a wait", "close all"]) for _ in range(max(1, args.runs // 2))
        ]
        theirs = [
            cpu_run(["gst-play-1.0", "-q", "--no-interactive", "--videosink=ximagesink", "--audiosink=fakeaudiosink", clip])
            for _ in range(max(1, args.runs // 2))
        ]
        ours_cpu = statistics.median(c for c, _ in ours)
        theirs_cpu = statistics.median(c for c, _ in theirs)
        print("\nplaying the clip to its end in a window of the sink's own (100% = one core)")
        print(f"  tovimo-mci    CPU {ours_cpu:6.1f}%   wall {statistics.median(w for _, w in ours):6.2f} s")
        print(f"  gst-play-1.0  CPU {theirs_cpu:6.1f}%   wall {statistics.median(w for _, w in theirs):6.2f} s")
        print(f"  ratio tovimo-mci / gst-play-1.0: {ours_cpu / theirs_cpu:.3f}")


if __name__ == "__main__":
    main()
