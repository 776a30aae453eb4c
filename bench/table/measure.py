#!/usr/bin/python3
"""The per-interval table against Praat (not a test), in the same run:

  1. Speed: sonavel-analyze measure over 40 one-minute files at 16 kHz with
     their TextGrids beside them (no --textgrid), against the equivalent Praat
     script (Read, To Pitch, To Formant, To Intensity, a loop of queries per
     labelled interval), whole processes in turns, medians (target <= 0.2 x).
  2. Intensity: each interval's intensity_db against Praat's Get mean ...
     energy of To Intensity: 100, 0.01, yes (target: within 1 dB).
  3. Memory: measure of an hour at 44.1 kHz with a TextGrid of 60,000
     intervals beside it, against formants of the same hour, both whole
     processes' peaks (targets: under 150 MB, at most 1.3 x formants).

    measure.py BUILD_DIR [RUNS] [FILES] [HOUR_MINUTES]

FILES 0 leaves out 1 and 2, HOUR_MINUTES 0 leaves out 3 (60 unless given; the
TextGrid keeps 1,000 intervals a minute).

Needs the build's Python module (BUILD_DIR/python) to write the TextGrids: run it
with the python3 the module is built for (Debian's, /usr/bin/python3).
"""
import csv
import io
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

RATE = 16000
SECONDS = 60
VOWEL_S, STEP_S = 0.3, 0.5

PRAAT_SCRIPT = """
form Files
    sentence list_file
    sentence out_file
endform
deleteFile: out_file$
files = Read Strings from raw text file: list_file$
nfiles = Get number of strings
for ifile to nfiles
    selectObject: files
    path$ = Get string: ifile
    sound = Read from file: path$
    grid = Read from file: replace$(path$, ".wav", ".TextGrid", 1)
    selectObject: sound
    pitch = To Pitch: 0, 50, 800
    selectObject: sound
    formant = To Formant (burg): 0.01, 5, 5500, 0.025, 50
    selectObject: sound
    intensity = To Intensity: 100, 0.01, "yes"
    selectObject: grid
    n = Get number of intervals: 1
    for k to n
        selectObject: grid
        label$ = Get label of interval: 1, k
        if label$ <> ""
            t1 = Get start time of interval: 1, k
            t2 = Get end time of interval: 1, k
            selectObject: pitch
            f0 = Get mean: t1, t2, "Hertz"
            f0min = Get minimum: t1, t2, "Hertz", "Parabolic"
            f0max = Get maximum: t1, t2, "Hertz", "Parabolic"
            selectObject: formant
            f1 = Get value at time: 1, (t1 + t2) / 2, "hertz", "Linear"
            f2 = Get value at time: 2, (t1 + t2) / 2, "hertz", "Linear"
            f3 = Get value at time: 3, (t1 + t2) / 2, "hertz", "Linear"
            selectObject: intensity
            db = Get mean: t1, t2, "energy"
            appendFileLine: out_file$, path$, ",", label$, ",", fixed$(t1, 6), ",", fixed$(t2, 6), ",",
            ... f0, ",", f0min, ",", f0max, ",", f1, ",", f2, ",", f3, ",", fixed$(db, 2)
        endif
    endfor
    removeObject: sound, grid, pitch, formant, intensity
endfor
"""


def run(args):
    t0 = time.perf_counter()
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - t0


def peak_mb(args):
    """Peak resident MB of one whole process (its output thrown away)."""
    with tempfile.NamedTemporaryFile("r") as report:
        subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report.name] + args, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return int(report.read().split()[-1]) / 1024


def hour_memory(build, minutes):
    import sonavel
    analyze, synth = os.path.join(build, "bin/sonavel-analyze"), os.path.join(build, "bin/voicesynth")
    with tempfile.TemporaryDirectory(prefix="sonavel-bench-table.") as work:
        hour = os.path.join(work, "hour.wav")
        seconds = int(minutes * 60)
        subprocess.check_call([synth, hour, "--rate", "44100", "--seconds", str(seconds), "--contour",
                               "0:110,%d:220,%d:100" % (seconds // 2, seconds)], stdout=subprocess.DEVNULL)
        count = 1000 * seconds // 60
        step = seconds / count
        intervals = [sonavel.Interval(k * step, (k + 1) * step, "v%d" % k if k % 2 else "") for k in range(count)]
        grid = sonavel.TextGrid(0.0, seconds, [sonavel.IntervalTier("vowel", 0.0, seconds, intervals)])
        sonavel.write_textgrid(grid, hour[:-4] + ".TextGrid")
        formants = peak_mb([analyze, "formants", hour])
        table = peak_mb([analyze, "measure", hour])
        print("%g minutes at 44.1 kHz, %d intervals: peak memory, whole processes (%d cores):"
              % (minutes, count, os.cpu_count()))
        print("  measure %.1f MB  formants %.1f MB  ratio %.2f  targets < 150 MB: %s, <= 1.30: %s"
              % (table, formants, table / formants, "met" if table < 150 else "MISSED",
                 "met" if table / formants <= 1.3 else "MISSED"))


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    nfiles = int(sys.argv[3]) if len(sys.argv) > 3 else 40
    minutes = float(sys.argv[4]) if len(sys.argv) > 4 else 60
    sys.path.insert(0, os.path.join(build, "python"))
    if nfiles > 0:
        speed_and_intensity(build, runs, nfiles)
    if minutes > 0:
        hour_memory(build, minutes)


def speed_and_intensity(build, runs, nfiles):
    import sonavel
    analyze, synth = os.path.join(build, "bin/sonavel-analyze"), os.path.join(build, "bin/voicesynth")
    if not shutil.which("praat"):
        sys.exit("praat is missing (scripts/setup installs it)")
    with tempfile.TemporaryDirectory(prefix="sonavel-bench-table.") as work:
        files = []
        for i in range(nfiles):
            path = os.path.join(work, "take%02d.wav" % i)
            contour = "0:%d,30:%d,60:%d" % (90 + 5 * i, 140 + 3 * i, 110 + 4 * i)
            subprocess.check_call([synth, path, "--rate", str(RATE), "--seconds", str(SECONDS), "--contour", contour,
                                   "--jitter", "0.01", "--seed", str(i + 1)], stdout=subprocess.DEVNULL)
            intervals, t = [], 0.0
            while t + STEP_S <= SECONDS:
                intervals += [sonavel.Interval(t, t + STEP_S - VOWEL_S, ""),
                              sonavel.Interval(t + STEP_S - VOWEL_S, t + STEP_S, "v%d" % len(intervals))]
                t += STEP_S
            grid = sonavel.TextGrid(0.0, t, [sonavel.IntervalTier("vowel", 0.0, t, intervals)])
            sonavel.write_textgrid(grid, path[:-4] + ".TextGrid")
            files.append(path)
        listing, script = os.path.join(work, "files.txt"), os.path.join(work, "measure.praat")
        with open(listing, "w") as f:
            f.write("\n".join(files) + "\n")
        with open(script, "w") as f:
            f.write(PRAAT_SCRIPT)
        ours_csv, praat_csv = os.path.join(work, "ours.csv"), os.path.join(work, "praat.csv")
        commands = {"ours": [analyze, "measure", "-o", ours_csv] + files,
                    "praat": ["praat", "--run", script, listing, praat_csv]}
        times = {name: [] for name in commands}
        for _ in range(runs):  # in turns, so a burst of other work hits both alike
            for name, args in commands.items():
                times[name].append(run(args))
        a, b = statistics.median(times["ours"]), statistics.median(times["praat"])
        print("%d one-minute files at 16 kHz, whole processes, medians of %d (%d cores):"
              % (nfiles, runs, os.cpu_count()))
        print("  ours %.2f s  Praat %.2f s  ratio %.3f  target <= 0.20: %s"
              % (a, b, a / b, "met" if a / b <= 0.2 else "MISSED"))
        with open(ours_csv) as f:
            ours = list(csv.DictReader(f))
        with open(praat_csv) as f:
            praat = [line.split(",") for line in f.read().splitlines()]
        diffs = [abs(float(o["intensity_db"]) - float(p[-1])) for o, p in zip(ours, praat)]
        within = sum(d <= 1 for d in diffs) / len(diffs)
        print("  intensity against Praat's energy mean, %d intervals: median |diff| %.3f dB, max %.3f dB, "
              "%.1f %% within 1 dB: %s" % (len(diffs), statistics.median(diffs), max(diffs), 100 * within,
                                          "met" if within == 1 else "MISSED"))


if __name__ == "__main__":
    main()
