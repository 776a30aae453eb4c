#!/usr/bin/env python3
"""Voice report speed and memory benchmark (not a test): whole processes,
measured in turns in the same run, medians.

  1. 10 minutes of speech-like sound at 44.1 kHz (voicesynth: phrases of 1.2 s
     between 100 and 220 Hz with 1 % jitter, pauses of 0.3 s): our report
     (bench_voice) against Praat's as clinics run it (To Pitch (cc), To
     PointProcess (periodic, cc), Voice report, To Harmonicity (cc), To
     PowerCepstrogram, Get CPPS with the settings of accuracy.py): time (target
     <= 0.05 x) and peak memory (target <= 0.1 x).
  2. An hour of it (the 10 minutes six times): our peak memory, read from the file a few seconds at a
     time, against the 16-bit samples the hour holds (the other tracks' bound,
     <= 1.3 x).

    speed.py BUILD_DIR [RUNS] [HOUR_MINUTES]
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import wave

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from whole_process import run  # noqa: E402

RATE = 44100
PRAAT = """Read from file: "{wav}"
s = selected ("Sound")
p = To Pitch (cc): 0, 75, 15, "no", 0.03, 0.45, 0.01, 0.35, 0.14, 600
selectObject: s
pp = To PointProcess (periodic, cc): 75, 600
selectObject: s, p, pp
r$ = Voice report: 0, 0, 75, 600, 1.3, 1.6, 0.03, 0.45
selectObject: s
h = To Harmonicity (cc): 0.01, 75, 0.1, 1.0
hnr = Get mean: 0, 0
selectObject: s
c = To PowerCepstrogram: 60, 0.002, 5000, 50
cpps = Get CPPS: "yes", 0.02, 0.0005, 60, 330, 0.05, "parabolic", 0.001, 0, "Exponential decay", "Robust"
"""


def speech_like(synth, path, seconds):
    knots, t, k = [], 0.0, 0
    while t < seconds:
        f0 = 100 + (k * 37) % 120
        knots += [(t, 0), (t + 0.01, f0), (t + 0.6, f0 * 1.15), (t + 1.2, f0 * 0.9), (t + 1.21, 0)]
        t += 1.5
        k += 1
    contour = ",".join("%.3f:%.1f" % kf for kf in knots)
    subprocess.check_call([synth, path, "--rate", str(RATE), "--seconds", str(int(seconds)), "--contour", contour,
                           "--jitter", "0.01"])


def repeat_to(src, path, seconds):
    """src over and over, seconds long (a contour for an hour is too long a command line)."""
    with wave.open(src) as w:
        params, frames = w.getparams(), w.readframes(w.getnframes())
    total = int(seconds * params.framerate) * 2
    with wave.open(path, "wb") as w:
        w.setparams(params)
        written = 0
        while written < total:
            part = frames[:total - written]
            w.writeframes(part)
            written += len(part)


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    minutes = float(sys.argv[3]) if len(sys.argv) > 3 else 60
    ours = os.path.join(build, "bin/bench_voice")
    synth = os.path.join(build, "bin/voicesynth")
    if not shutil.which("praat"):
        sys.exit("praat is missing (scripts/setup installs it)")
    with tempfile.TemporaryDirectory(prefix="sonavel-bench-voice.") as work:
        ten, hour = os.path.join(work, "ten.wav"), os.path.join(work, "hour.wav")
        speech_like(synth, ten, 600)
        script = os.path.join(work, "report.praat")
        with open(script, "w") as f:
            f.write(PRAAT.format(wav=ten))
        commands = {"ours": [ours, ten], "praat": ["praat", "--run", script]}
        times = {name: [] for name in commands}
        peaks = {name: [] for name in commands}
        for _ in range(runs):  # in turns, so a burst of other work hits both alike
            for name, args in commands.items():
                seconds, peak = run(args)
                times[name].append(seconds)
                peaks[name].append(peak)
        a, b = statistics.median(times["ours"]), statistics.median(times["praat"])
        ma, mb = statistics.median(peaks["ours"]), statistics.median(peaks["praat"])
        print("10 minutes at 44.1 kHz, the whole report, whole processes, medians of %d:" % runs)
        print("  time    ours %7.2f s   Praat %7.2f s   ratio %.3f  target <= 0.05: %s"
              % (a, b, a / b, "met" if a / b <= 0.05 else "MISSED"))
        print("  memory  ours %7.1f MB  Praat %7.1f MB  ratio %.3f  target <= 0.10: %s"
              % (ma / 1024, mb / 1024, ma / mb, "met" if ma / mb <= 0.1 else "MISSED"))
        repeat_to(ten, hour, minutes * 60)
        os.remove(ten)
        store_kb = minutes * 60 * RATE * 2 / 1024
        seconds, peak = run([ours, hour])
        print("%.0f minutes read a few seconds at a time: %.1f s, peak %.1f MB, %.3f x the 16-bit store (%.0f MB)"
              "  target <= 1.30: %s" % (minutes, seconds, peak / 1024, peak / store_kb, store_kb / 1024,
                                        "met" if peak / store_kb <= 1.3 else "MISSED"))


if __name__ == "__main__":
    main()
