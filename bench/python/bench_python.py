#!/usr/bin/python3
"""The Python module on an hour of speech-like sound at 44.1 kHz (not a test):
  1. sonavel.pitch(path), timed inside the interpreter, against sonavel-analyze
     pitch as a whole process (target: at most 1.1 x);
  2. the peak memory of sonavel.load on the hour against the 16-bit store plus
     the interpreter with numpy and the module imported (target: at most 1.3 x);
  3. sonavel.spectrogram of the hour (30 ms windows every 10 ms, in dB) against
     scipy.signal.spectrogram with the same window, hop and transform size and
     its power turned into dB, both on every core the machine offers to them.
    bench_python.py BUILD_DIR [--minutes M] [--keep DIR]
Run with BUILD_DIR/python on PYTHONPATH (scripts/bench does)."""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

import numpy as np
import sonavel
from scipy import signal

RATE = 44100


def timed(runs, action):
    """Median and best of runs timings of action, in seconds."""
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        action()
        times.append(time.perf_counter() - start)
    return statistics.median(times), min(times)


def peak_kib(code):
    """Peak resident memory (KiB) of a fresh interpreter running code: the
    address space's own high-water mark (getrusage's would carry the forking
    parent's over the exec)."""
    probe = code + "\nprint([l.split()[1] for l in open('/proc/self/status') if l.startswith('VmHWM:')][0])"
    return int(subprocess.run([sys.executable, "-c", probe], capture_output=True, text=True, check=True).stdout)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--minutes", type=float, default=60.0)
    parser.add_argument("--keep", help="a folder for the hour's file (made once, reused)")
    args = parser.parse_args()
    analyze = os.path.join(args.build, "bin", "sonavel-analyze")
    voicesynth = os.path.join(args.build, "bin", "voicesynth")

    with tempfile.TemporaryDirectory() as scratch:
        folder = args.keep or scratch
        os.makedirs(folder, exist_ok=True)
        hour = os.path.join(folder, "hour-%g.wav" % args.minutes)
        if not os.path.exists(hour):
            seconds = args.minutes * 60
            contour = ",".join("%d:%d" % (t, 90 + (t * 37) % 160) for t in range(0, int(seconds) + 1, 3))
            subprocess.run([voicesynth, hour, "--rate", str(RATE), "--seconds", str(seconds), "--contour", contour,
                            "--jitter", "0.01", "--peak", "0.7", "--seed", "11"], check=True)
        print("python benchmark: %g minutes at %d Hz" % (args.minutes, RATE))

        with open(os.devnull, "wb") as null:
            cli, cli_best = timed(5, lambda: subprocess.run([analyze, "pitch", hour], stdout=null, check=True))
        ours, ours_best = timed(5, lambda: sonavel.pitch(hour))
        print("sonavel-analyze pitch, whole process  : %8.3f s median, %.3f s best of 5" % (cli, cli_best))
        print("sonavel.pitch(path) in the interpreter: %8.3f s median, %.3f s best of 5" % (ours, ours_best))
        print("ratio python / command line (medians) : %8.3f   target <= 1.1: %s" %
              (ours / cli, "met" if ours <= 1.1 * cli else "MISSED"))

        base = peak_kib("import numpy, sonavel")
        loaded = peak_kib("import numpy, sonavel\nsound = sonavel.load(%r)\nassert len(sound.samples)" % hour)
        store_kib = sonavel.load(hour).samples.nbytes / 1024
        ratio = loaded / (store_kib + base)
        print("interpreter with numpy and the module : %8.1f MiB" % (base / 1024))
        print("16-bit store of the sound             : %8.1f MiB" % (store_kib / 1024))
        print("peak while loading                    : %8.1f MiB" % (loaded / 1024))
        print("ratio peak / (store + interpreter)    : %8.3f   target <= 1.3: %s" %
              (ratio, "met" if ratio <= 1.3 else "MISSED"))

        sound = sonavel.load(hour)
        window, hop = round(0.03 * RATE), round(0.01 * RATE)

        def peer():
            _, _, power = signal.spectrogram(sound.samples.astype(np.float32), RATE, window="hann", nperseg=window,
                                             noverlap=window - hop, nfft=2048, mode="psd")
            return 10 * np.log10(power + 1e-30)

        ours_s, ours_best_s = timed(3, lambda: sonavel.spectrogram(sound, window_length=0.03, time_step=0.01))
        scipy_time, scipy_best = timed(3, peer)
        print("sonavel.spectrogram, 30 ms / 10 ms    : %8.3f s median, %.3f s best of 3" % (ours_s, ours_best_s))
        print("scipy.signal.spectrogram, the same    : %8.3f s median, %.3f s best of 3" % (scipy_time, scipy_best))
        print("ratio sonavel / scipy (medians)       : %8.3f" % (ours_s / scipy_time))


if __name__ == "__main__":
    main()
