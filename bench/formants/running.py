"""The formant benchmark's running-speech sets (see accuracy.py).

running: espeak-ng sentences resynthesised by Praat's KlattGrid with their own
  formant tracks, so the truth is known frame by frame. A sentence's F1-F3 are
  read from the espeak-ng voice (Burg at 5 ms, Praat's Track for continuity),
  smoothed (a median of 7 frames, then a mean of 5: 35 ms), scaled for a man
  (x 1.0), a woman (x 1.17) or a child (x 1.35) and set as the grid's oral
  formants every 5 ms; F4 and F5 fixed per speaker. Its pitch contour is the
  sentence's own, moved into the speaker's range; its voicing level the
  sentence's intensity where it is voiced; its voiceless stretches frication
  noise. Clean and with white noise at 20 dB SNR over the voiced stretches.
  Scored: frames voiced over the whole 40 ms around them and within 25 dB of
  the file's loudest voicing.
midpoints: children's hVd-like syllables (13 vowels a file, f0 250-400 Hz):
  F1 rises from 300 Hz into the vowel over 50-80 ms, holds, and falls out again;
  each vowel's F1 read at its midpoint.
"""
import math
import os
import pickle
import subprocess

import numpy as np

# name, formant scale, f0 range of the contour, the expert's ceiling
SPEAKERS = [("man", 1.0, 85, 150, 5000), ("woman", 1.17, 165, 300, 5500), ("child", 1.35, 240, 400, 6500)]
# Sentences and voices tuned on, and those held out (never looked at while tuning).
TUNE = {"voice": "en-us", "sentences": [
    "Please call Stella and ask her to bring these things with her from the store.",
    "Six spoons of fresh snow peas, five thick slabs of blue cheese, and maybe a snack.",
    "We also need a small plastic snake and a big toy frog for the kids.",
    "She can scoop these things into three red bags, and we will go meet her Wednesday.",
]}
HELD_OUT = {"voice": "en-gb", "sentences": [
    "When the sunlight strikes raindrops in the air, they act as a prism and form a rainbow.",
    "The rainbow is a division of white light into many beautiful colours.",
    "These take the shape of a long round arch, with its path high above.",
    "The north wind and the sun were disputing which was the stronger, when a traveller came along.",
    "You wish to know all about my grandfather. Well, he is nearly ninety three years old.",
    "Who would loop the blue moose through the new wool booth, you see?",
]}
# A third set, kept apart until the final check of a change tuned on the two above.
FRESH = {"voice": "en-gb-scotland", "sentences": [
    "My brother keeps two grey ponies in a field beside the old mill.",
    "Every evening the baker carries warm loaves up the steep hill to the village.",
    "Few people would choose to swim in the cold loch during the winter.",
    "The boat drifted slowly past the island while the gulls cried overhead.",
    "Would you pour a cup of tea for the woman waiting by the door?",
    "Our neighbour found a tiny blue egg under the hedge this morning.",
]}
STEP = 0.005
SOURCE_CEILING = 5000  # espeak-ng's voices are a man's tract

MEASURE = """form m
  sentence in a.wav
  sentence out a.tsv
endform
s = Read from file: in$
dur = Get total duration
# a faint noise, so that the silences hold poles enough for the tracker
Formula: "self + randomGauss(0, 0.00003)"
f = To Formant (burg): 0.005, 5, %d, 0.025, 50
ft = nocheck Track: 3, 550, 1650, 2750, 3850, 4950, 1, 1, 1
if ft = f
  appendInfoLine: "untracked: ", in$
endif
selectObject: s
p = To Pitch: 0.005, 60, 500
selectObject: s
i = To Intensity: 100, 0.005, "yes"
writeFileLine: out$, dur
n = floor(dur / 0.005)
for k from 0 to n
  t = k * 0.005
  selectObject: ft
  f1 = Get value at time: 1, t, "hertz", "linear"
  f2 = Get value at time: 2, t, "hertz", "linear"
  f3 = Get value at time: 3, t, "hertz", "linear"
  selectObject: p
  f0 = Get value at time: t, "Hertz", "linear"
  selectObject: i
  db = Get value at time: t, "cubic"
  appendFileLine: out$, f1, " ", f2, " ", f3, " ", f0, " ", db
endfor
""" % SOURCE_CEILING


def _median(x, half):
    out = x.copy()
    for i in range(len(x)):
        out[i] = np.median(x[max(0, i - half):i + half + 1])
    return out


def _mean(x, half):
    k = np.ones(2 * half + 1)
    pad = np.concatenate([np.full(half, x[0]), x, np.full(half, x[-1])])
    return np.convolve(pad, k / k.sum(), "valid")


def _fill(x):
    """Undefined values (nan) by linear interpolation from their neighbours."""
    ok = ~np.isnan(x)
    if not ok.any():
        return np.full_like(x, np.nan)
    idx = np.arange(len(x))
    return np.interp(idx, idx[ok], x[ok])


def source_tracks(path, work):
    """The espeak-ng sentence's smoothed F1-F3, f0 (nan unvoiced) and dB every 5 ms."""
    script = os.path.join(work, "measure.praat")
    with open(script, "w") as f:
        f.write(MEASURE)
    tsv = path + ".tsv"
    subprocess.run(["praat", "--run", script, path, tsv], check=True)
    with open(tsv) as f:
        dur = float(f.readline())
        rows = np.array([[float("nan") if c == "--undefined--" else float(c) for c in line.split()] for line in f])
    formants = np.stack([_mean(_median(_fill(rows[:, j]), 3), 2) for j in range(3)], axis=1)
    return dur, formants, rows[:, 3], rows[:, 4]


def klatt_script(u, path, rate):
    """A KlattGrid from the utterance's tracks, written to path at rate."""
    n, sc = len(u["f0"]), u["scale"]
    s = [f'Create KlattGrid: "u", 0, {u["seconds"]:.4f}, 5, 0, 0, 0, 0, 0, 0']
    for i, (f, bw) in enumerate([(3800 * sc, 250), (4700 * sc, 300)], 4):
        s.append(f"Add oral formant frequency point: {i}, 0.1, {f:.1f}")
        s.append(f"Add oral formant bandwidth point: {i}, 0.1, {bw}")
    for j in range(3):
        s.append(f"Add oral formant bandwidth point: {j + 1}, 0.1, {u['bandwidths'][j]:.1f}")
    for k in range(n):
        t = k * STEP
        for j in range(3):
            s.append(f"Add oral formant frequency point: {j + 1}, {t:.4f}, {u['formants'][k, j]:.1f}")
        s.append(f"Add voicing amplitude point: {t:.4f}, {u['voicing'][k]:.1f}")
        s.append(f"Add frication bypass point: {t:.4f}, {u['frication'][k]:.1f}")
        s.append(f"Add frication amplitude point: {t:.4f}, {u['frication'][k]:.1f}")
        if u["f0"][k] > 0:
            s.append(f"Add pitch point: {t:.4f}, {u['f0'][k]:.2f}")
    s += ["To Sound", f"Resample: {rate}, 50", "Scale peak: 0.5", f'Save as WAV file: "{path}"', "select all",
          "Remove"]
    return "\n".join(s) + "\n"


def running_utterances(rng, work, rate, group, count):
    """count sentences per speaker from group (TUNE, HELD_OUT or FRESH)."""
    utts, script = [], []
    for name, scale, lo, hi, ceiling in SPEAKERS:
        for k, text in enumerate(rng.sample(group["sentences"], min(count, len(group["sentences"])))):
            src = os.path.join(work, f"run_{name}{k + 1}_espeak.wav")
            subprocess.run(["espeak-ng", "-v", group["voice"], "-s", str(rng.randint(140, 175)), "-w", src, text],
                           check=True)
            dur, formants, f0, db = source_tracks(src, work)
            formants = formants * scale
            formants[:, 2] = np.minimum(formants[:, 2], 3800 * scale - 300)
            loud = np.nanmax(db)
            voiced = ~np.isnan(f0) & (db > loud - 40)
            # The sentence's own contour, moved log-linearly into the speaker's range.
            g = np.log(f0[voiced])
            glo, ghi = np.percentile(g, 2), np.percentile(g, 98)
            target = np.exp(math.log(lo) + (np.clip(g, glo, ghi) - glo) / max(ghi - glo, 1e-6) * math.log(hi / lo))
            pitch = np.zeros(len(f0))
            pitch[voiced] = target
            level = np.clip(db - loud, -40, 0)
            u = {"name": f"{name}{k + 1}", "speaker": name, "ceiling": ceiling, "scale": scale, "seconds": dur,
                 "formants": formants, "f0": pitch,
                 "voicing": np.where(voiced, 90 + level, 0.0),
                 "frication": np.where(~voiced & (db > loud - 35), 40 + level, 0.0),
                 "bandwidths": [rng.uniform(50, 90), rng.uniform(70, 120), rng.uniform(100, 170)]}
            utts.append(u)
            script.append(klatt_script(u, os.path.join(work, f"run_{u['name']}_src.wav"), rate))
    path = os.path.join(work, "running.praat")
    with open(path, "w") as f:
        f.write("random_initializeWithSeedUnsafelyButPredictably (%d)\n" % rng.randint(1, 10 ** 6) + "".join(script))
    subprocess.run(["praat", "--run", path], check=True)
    with open(os.path.join(work, "running.pickle"), "wb") as f:
        pickle.dump(utts, f)
    return utts


def running_truth(u, times):
    """F1-F3 at the given times, nan where a frame is not scored."""
    n = len(u["f0"])
    k = np.clip(np.round(times / STEP).astype(int), 0, n - 1)
    voiced = u["voicing"] >= 90 - 25
    # voiced over the whole 40 ms around: 4 steps of 5 ms either side
    ok = np.ones(n, bool)
    for d in range(-4, 5):
        ok &= np.roll(voiced, d)
    ok[:4] = ok[-4:] = False
    out = np.full((len(times), 3), np.nan)
    inside = ok[k] & (times < u["seconds"])
    for j in range(3):
        out[inside, j] = np.interp(times[inside], np.arange(n) * STEP, u["formants"][:, j])
    return out


# Children's vowels (Hz), in an hVd-like frame; 13 a file.
CHILD_VOWELS = [(370, 3200, 3730), (530, 2730, 3600), (600, 2650, 3400), (690, 2610, 3570), (1010, 2320, 3320),
                (1030, 1370, 3170), (680, 1060, 3180), (600, 1150, 3100), (560, 1410, 3310), (430, 1170, 3260),
                (850, 1590, 3360), (560, 1820, 2160), (470, 2100, 3000)]


def midpoint_utterances(rng, work, rate, count):
    """count files of 13 children's syllables: F1 from 300 Hz into each vowel and back."""
    utts, script = [], []
    for k in range(count):
        segs, t = [], 0.2
        for v in rng.sample(CHILD_VOWELS, len(CHILD_VOWELS)):
            length = rng.uniform(0.22, 0.36)
            target = [f * rng.uniform(0.93, 1.07) for f in v]
            rise, fall = rng.uniform(0.05, 0.08), rng.uniform(0.04, 0.07)
            segs.append({"start": t, "end": t + length, "f0": rng.uniform(250, 400), "target": target,
                         "rise": rise, "fall": fall, "level": rng.uniform(82, 90),
                         "bandwidths": [rng.uniform(60, 100), rng.uniform(80, 130), rng.uniform(120, 180)]})
            t += length + rng.uniform(0.1, 0.2)
        u = {"name": f"kids{k + 1}", "seconds": t + 0.2, "segments": segs}
        s = [f'Create KlattGrid: "u", 0, {u["seconds"]:.4f}, 5, 0, 0, 0, 0, 0, 0', "Add voicing amplitude point: 0, 0",
             "Add oral formant frequency point: 4, 0.1, 4300", "Add oral formant bandwidth point: 4, 0.1, 300",
             "Add oral formant frequency point: 5, 0.1, 5600", "Add oral formant bandwidth point: 5, 0.1, 350"]
        for seg in segs:
            a, b, tg = seg["start"], seg["end"], seg["target"]
            onset = [300, tg[1] * 0.85 + 1800 * 0.15, tg[2]]  # the h/d loci pull F2 a little
            for tt, fm in ((a, onset), (a + seg["rise"], tg), (b - seg["fall"], tg), (b, onset)):
                for j, f in enumerate(fm, 1):
                    s.append(f"Add oral formant frequency point: {j}, {tt:.4f}, {f:.1f}")
            for j, bw in enumerate(seg["bandwidths"], 1):
                s.append(f"Add oral formant bandwidth point: {j}, {a:.4f}, {bw:.1f}")
            s += [f"Add pitch point: {a:.4f}, {seg['f0']:.2f}", f"Add pitch point: {b:.4f}, {seg['f0'] * 0.9:.2f}",
                  f"Add voicing amplitude point: {a - 0.0005:.4f}, 0",
                  f"Add voicing amplitude point: {a + 0.02:.4f}, {seg['level']:.1f}",
                  f"Add voicing amplitude point: {b - 0.02:.4f}, {seg['level']:.1f}",
                  f"Add voicing amplitude point: {b + 0.0005:.4f}, 0"]
        s += ["To Sound", f"Resample: {rate}, 50", "Scale peak: 0.5",
              f'Save as WAV file: "{os.path.join(work, u["name"] + "_src.wav")}"', "select all", "Remove"]
        script.append("\n".join(s) + "\n")
        utts.append(u)
    path = os.path.join(work, "midpoints.praat")
    with open(path, "w") as f:
        f.write("random_initializeWithSeedUnsafelyButPredictably (%d)\n" % rng.randint(1, 10 ** 6) + "".join(script))
    subprocess.run(["praat", "--run", path], check=True)
    return utts
