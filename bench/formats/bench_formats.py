#!/usr/bin/env python3
"""Formats benchmark (not a test): whole processes, measured in turns in the same run.

  1. A 10-minute FLAC of speech-like sound (44.1 kHz mono): `sonavel-analyze info`
     (decode into the store) against `flac -d` to a pipe.      target <= 1.3 x
  2. An hour of it as FLAC: `sonavel-analyze pitch` against Praat's
     "Read from file" + "To Pitch: 0, 75, 600".                  target <= 0.15 x
  3. Peak memory of loading the hour as FLAC and as MP3, against the 16-bit
     samples they hold.                                          target <= 1.3 x

    bench_formats.py BUILD_DIR [RUNS] [HOUR_MINUTES]
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

RATE = 44100


def run(args, stdout=subprocess.DEVNULL):
    """Wall-clock seconds and peak resident kB of one whole process. The peak
    comes from /usr/bin/time, whose own small child runs the program."""
    with tempfile.NamedTemporaryFile("r") as report:
        t0 = time.perf_counter()
        status = subprocess.call(["/usr/bin/time", "-f", "%M", "-o", report.name] + args,
                                 stdout=stdout, stderr=subprocess.DEVNULL)
        seconds = time.perf_counter() - t0
        if status != 0:
            sys.exit("failed: " + " ".join(args))
        return seconds, int(report.read().split()[-1])


def in_turns(runs, commands):
    """Each command once per round, round after round, so a burst of other work
    on the shared machine hits all of them alike. Seconds per command."""
    times = {name: [] for name in commands}
    for _ in range(runs):
        for name, args in commands.items():
            times[name].append(run(args)[0])
    return times


def report(label, ours, peer, target):
    med = statistics.median(ours) / statistics.median(peer)
    best = min(ours) / min(peer)
    print("  %-34s median %6.3f s  best %6.3f s" % ("ours", statistics.median(ours), min(ours)))
    print("  %-34s median %6.3f s  best %6.3f s" % (label, statistics.median(peer), min(peer)))
    print("  ratio ours / peer: median %.3f, best %.3f   target <= %.2f: %s"
          % (med, best, target, "met" if med <= target else "MISSED"))


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 7
    minutes = float(sys.argv[3]) if len(sys.argv) > 3 else 60
    analyze = os.path.join(build, "bin/sonavel-analyze")
    synth = os.path.join(build, "bin/voicesynth")
    for tool in ("flac", "ffmpeg", "praat"):
        if not shutil.which(tool):
            sys.exit(tool + " is missing (scripts/setup installs it)")

    with tempfile.TemporaryDirectory(prefix="sonavel-bench-formats.") as work:
        def path(name):
            return os.path.join(work, name)

        def make(name, seconds):
            wav = path(name + ".wav")
            subprocess.check_call([synth, wav, "--rate", str(RATE), "--seconds", str(seconds)])
            subprocess.check_call(["flac", "-s", "-f", "-o", path(name + ".flac"), wav])
            return wav

        print("writing 10 minutes and %.0f minutes of speech-like sound as FLAC" % minutes)
        os.remove(make("ten", 600))
        hour_wav = make("hour", int(minutes * 60))
        subprocess.check_call(["ffmpeg", "-v", "error", "-y", "-i", hour_wav, "-c:a", "libmp3lame", path("hour.mp3")])
        os.remove(hour_wav)
        os.sync()

        print("\n1. 10-minute FLAC, decoded (best and median of %d)" % runs)
        t = in_turns(runs, {"ours": [analyze, "info", path("ten.flac")],
                            "flac": ["sh", "-c", "flac -d -s -c '%s' > /dev/null" % path("ten.flac")]})
        report("flac -d", t["ours"], t["flac"], 1.3)

        praat_script = path("to_pitch.praat")
        with open(praat_script, "w") as f:
            f.write("form Pitch\n  sentence file x\nendform\nRead from file: file$\nTo Pitch: 0.0, 75, 600\n")
        hour_runs = max(1, min(runs, 3))
        print("\n2. %.0f minutes of FLAC, pitch track (best and median of %d)" % (minutes, hour_runs))
        t = in_turns(hour_runs, {"ours": [analyze, "pitch", path("hour.flac")],
                                 "praat": ["praat", "--run", praat_script, path("hour.flac")]})
        report("Praat To Pitch", t["ours"], t["praat"], 0.15)

        print("\n3. peak memory of a load against its 16-bit samples")
        for name, seconds in (("hour.flac", minutes * 60), ("hour.mp3", minutes * 60)):
            _, kb = run([analyze, "info", path(name)])
            store_kb = seconds * RATE * 2 / 1024
            print("  %-10s peak %8d kB, samples %8.0f kB: %.2f x   target <= 1.3 x: %s"
                  % (name, kb, store_kb, kb / store_kb, "met" if kb <= 1.3 * store_kb else "MISSED"))


if __name__ == "__main__":
    main()
