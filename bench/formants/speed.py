#!/usr/bin/env python3
"""Formant and intensity speed benchmark (not a test): whole processes, measured
in turns in the same run, medians.

  1. 10 minutes of speech-like sound at 44.1 kHz: our formants (no ceiling
     given) against Praat's To Formant (burg): 0.01, 5, 5500, 0.025, 50
     (target <= 0.1 x), our intensity against To Intensity: 100, 0.01, yes
     (target <= 0.5 x).
  2. An hour of it: the peak memory of either, read from the file in blocks,
     against the 16-bit samples the hour holds (target <= 1.3 x).

    speed.py BUILD_DIR [RUNS] [HOUR_MINUTES]
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from whole_process import run  # noqa: E402

RATE = 44100


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    minutes = float(sys.argv[3]) if len(sys.argv) > 3 else 60
    ours = os.path.join(build, "bin/bench_formants")
    synth = os.path.join(build, "bin/voicesynth")
    if not shutil.which("praat"):
        sys.exit("praat is missing (scripts/setup installs it)")
    with tempfile.TemporaryDirectory(prefix="sonavel-bench-formants.") as work:
        ten, hour = os.path.join(work, "ten.wav"), os.path.join(work, "hour.wav")
        subprocess.check_call([synth, ten, "--rate", str(RATE), "--seconds", "600"])
        scripts = {}
        for name, line in (("formant", "To Formant (burg): 0.01, 5, 5500, 0.025, 50"),
                           ("intensity", 'To Intensity: 100, 0.01, "yes"')):
            scripts[name] = os.path.join(work, name + ".praat")
            with open(scripts[name], "w") as f:
                f.write(f'Read from file: "{ten}"\n{line}\n')
        commands = {"ours formants": [ours, "formants", ten], "praat formants": ["praat", "--run", scripts["formant"]],
                    "ours intensity": [ours, "intensity", ten],
                    "praat intensity": ["praat", "--run", scripts["intensity"]]}
        times = {name: [] for name in commands}
        for _ in range(runs):  # in turns, so a burst of other work hits all alike
            for name, args in commands.items():
                times[name].append(run(args)[0])
        print("10 minutes at 44.1 kHz, whole processes, medians of %d:" % runs)
        for what, target in (("formants", 0.1), ("intensity", 0.5)):
            a, b = statistics.median(times["ours " + what]), statistics.median(times["praat " + what])
            print("  %-10s ours %6.3f s  Praat %6.3f s  ratio %.3f  target <= %.2f: %s"
                  % (what, a, b, a / b, target, "met" if a / b <= target else "MISSED"))
        os.remove(ten)
        subprocess.check_call([synth, hour, "--rate", str(RATE), "--seconds", str(int(minutes * 60))])
        store_kb = minutes * 60 * RATE * 2 / 1024
        print("%.0f minutes read in blocks, peak memory against the 16-bit store (%.0f MB):" % (minutes, store_kb / 1024))
        for what in ("formants", "intensity"):
            seconds, peak = run([ours, what, hour])
            print("  %-10s %6.1f s  peak %6.1f MB  ratio %.3f  target <= 1.30: %s"
                  % (what, seconds, peak / 1024, peak / store_kb, "met" if peak / store_kb <= 1.3 else "MISSED"))


if __name__ == "__main__":
    main()
