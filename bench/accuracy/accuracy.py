#!/usr/bin/env python3
"""Pitch accuracy benchmark (not a test): speech with a known f0 contour made by
Praat's KlattGrid for five kinds of speaker (vowels, softer voiced murmurs,
breath and hiss between them), clean, with white noise at 20 dB SNR
and with the babble of five other voices at 10 dB SNR, tracked by both of our
trackers and by Praat, SPTK's RAPT and aubio's yinfft. Frames lie every 10 ms;
frames within 20 ms of a voicing edge are not scored.

  FFE  frames with a wrong voicing decision or a pitch more than 20 % off
  GPE  of the frames voiced in both, those more than 20 % off
  VDE  frames with a wrong voicing decision
  RPA  of the voiced frames, those found voiced within 50 cents

  accuracy.py BUILD_DIR [--seed N] [--utterances N] [--seconds S] [--rate HZ] [--keep DIR]
              [--sets single,pairs,human] [--only TRACKER,...] [--voices default|heldout|other|fresh|extra]
              [--range FLOOR,CEILING] [--joined] [--before BUILD_DIR]

Three sets, each reported on its own beside the peers: single (above), pairs
(two kinds of speaker in turn) and human (espeak-ng's voices with a contour
imposed by Praat): see sets.py. --keep DIR keeps the set and the peers' tracks
and, run again with the same DIR, tracks it again with ours without making it
or the peers' tracks anew.

--range FLOOR,CEILING tracks every file once more with the research tracker
over a range the user gives ("ours range") and sets it beside the default: a
range that holds every voice must not cost more than 0.01 FFE overall, nor
0.02 in any cell. --joined joins the single-speaker and espeak-ng recordings of
each condition into two long files whose speaker changes at every join, one
with the recordings' own pauses kept and one with each cut to its voice, so
that one speaker follows the other with no pause at all, and compares each
recording's frames there with the same recording tracked alone.
--before BUILD_DIR runs an earlier build's research tracker beside ours in every
report ("before"), so that a change is measured in one run.
--voices heldout makes the set of five other kinds of KlattGrid speaker and
three other espeak-ng voices; --voices other a third such set, for tuning
beside the defaults (sets 31 and 32), never the held-out one; --voices fresh
a fourth (sets 41 and 42), made once to check a change at its end; --voices
extra a fifth for tuning (sets 51 and 52).

The set is made anew from the seed on every run, the same for the same seed.
The research tracker was tuned on sets 1, 3, 5 and 6 (the two-speaker and
espeak-ng sets on 1 and 3; set 2 was seen once while tuning them; the speaker's
turns, the user's range, the joined files and the cost of a voice no louder
than the babble on sets 1, 3, 5, 6, 11 and 12, default voices; the cost of
moving into and out of voicing, of a quiet voiced frame, the bridge over a
voice's dip and a speaker's level as his range's centre on those and sets 31
and 32, the last also on 51 and 52, as was where a change of speaker with no
pause lies); the default, 8, set 4, and sets 21
and 22 with the held-out voices are held out from all of it, and sets 41 and 42
with the fresh voices were first made to check that last change; sets 23, 24
and 25 (held-out voices) and 43, 44 and 45 (fresh voices) were made once to
check the joined files at the end, never tuned on.
"""
import argparse
import math
import os
import pickle
import random
import shutil
import subprocess
import sys
import tempfile
import wave
from concurrent.futures import ThreadPoolExecutor

import numpy as np

import sets

RATE = 16000
STEP = 0.01
KINDS = [  # name, f0 range, formant scale, flutter
    ("creaky", 55, 95, 0.95, 0.35),
    ("lowmale", 80, 150, 0.95, 0.1),
    ("male", 100, 200, 1.0, 0.1),
    ("female", 165, 320, 1.17, 0.1),
    ("child", 240, 460, 1.35, 0.1),
]
# Kinds for tuning beside the defaults (--voices other), never the held-out ones.
KINDS_OTHER = [
    ("deep", 65, 115, 0.93, 0.2),
    ("lowtenor", 95, 175, 1.0, 0.12),
    ("midvoice", 130, 240, 1.08, 0.1),
    ("mezzo", 180, 330, 1.15, 0.1),
    ("girl", 220, 400, 1.3, 0.1),
]
# Kinds never tuned on (--voices heldout), in the same order of pitch.
KINDS_HELDOUT = [
    ("bass", 60, 110, 0.92, 0.25),
    ("baritone", 85, 160, 0.97, 0.12),
    ("tenor", 110, 210, 1.04, 0.08),
    ("alto", 150, 290, 1.12, 0.12),
    ("boy", 230, 440, 1.4, 0.08),
]
# Kinds made only for the final check of a change (--voices fresh), never tuned on.
KINDS_FRESH = [
    ("gravel", 58, 100, 0.94, 0.3),
    ("warm", 90, 170, 0.98, 0.1),
    ("bright", 120, 230, 1.06, 0.1),
    ("soprano", 190, 360, 1.2, 0.08),
    ("toddler", 260, 480, 1.45, 0.08),
]
# Kinds for tuning the joined files' locality beside the others (--voices extra).
KINDS_EXTRA = [
    ("basso", 55, 95, 0.93, 0.3),
    ("mellow", 95, 165, 1.0, 0.12),
    ("reed", 135, 250, 1.1, 0.1),
    ("treble", 200, 380, 1.25, 0.08),
    ("piccolo", 280, 500, 1.5, 0.08),
]
CONDITIONS = ["clean", "white20", "babble10"]
VOWELS = [(730, 1090, 2440), (270, 2290, 3010), (530, 1840, 2480), (300, 870, 2240),
          (570, 840, 2410), (440, 1020, 2240), (660, 1720, 2410), (490, 1350, 1690)]


def utterance(rng, kind, seconds):
    """Voiced segments with their f0 knots and formants, and the noise gaps."""
    _, lo, hi, scale, flutter = kind
    segments, t = [], 0.3
    u = rng.uniform(0.2, 0.8)
    while t < seconds - 0.6:
        length = rng.uniform(0.18, 0.7)
        knots, k = [], t
        while k < t + length:
            u = min(1.0, max(0.0, u + rng.gauss(0, 0.13)))
            knots.append((k, lo * (hi / lo) ** u))
            k += rng.uniform(0.06, 0.2)
        u2 = min(1.0, max(0.0, u + rng.gauss(0, 0.13)))
        knots.append((t + length, lo * (hi / lo) ** u2))
        v1, v2 = rng.choice(VOWELS), rng.choice(VOWELS)
        # A voiced consonant (a nasal's murmur) inside a longer segment: 12-24 dB
        # softer, still voiced.
        murmur = None
        if length > 0.3 and rng.random() < 0.6:
            m0 = rng.uniform(t + 0.08, t + length - 0.17)
            murmur = (m0, m0 + rng.uniform(0.04, 0.09), rng.uniform(12, 24))
        segments.append({"start": t, "end": t + length, "knots": knots, "level": rng.uniform(78, 90),
                         "formants": [[f * scale for f in v1], [f * scale for f in v2]], "murmur": murmur,
                         "gap": rng.choice(["silence", "aspiration", "frication"])})
        t += length + rng.uniform(0.08, 0.45)
    return {"kind": kind, "seconds": seconds, "segments": segments, "flutter": flutter}


def praat_script(utt, path):
    """The Praat lines that make one utterance and save it as a WAV file."""
    s, seconds = [], utt["seconds"]
    s.append(f'Create KlattGrid: "u", 0, {seconds}, 5, 0, 0, 0, 0, 0, 0')
    s.append(f"Add flutter point: 0.1, {utt['flutter']}")
    for i, (b, bw) in enumerate([(0, 70), (0, 90), (0, 140), (3500, 200), (4500, 250)], 1):
        s.append(f"Add oral formant bandwidth point: {i}, 0.1, {bw}")
        if b:
            s.append(f"Add oral formant frequency point: {i}, 0.1, {b * (utt['kind'][3])}")
    s.append("Add voicing amplitude point: 0, 0")
    for seg in utt["segments"]:
        a, b = seg["start"], seg["end"]
        for t, f in seg["knots"]:
            s.append(f"Add pitch point: {t:.4f}, {f:.3f}")
        s.append(f"Add voicing amplitude point: {a - 0.0005:.4f}, 0")
        s.append(f"Add voicing amplitude point: {a + 0.02:.4f}, {seg['level']:.1f}")
        if seg["murmur"]:
            m0, m1, drop = seg["murmur"]
            for tm, lv in ((m0, 0), (m0 + 0.012, drop), (m1 - 0.012, drop), (m1, 0)):
                s.append(f"Add voicing amplitude point: {tm:.4f}, {seg['level'] - lv:.1f}")
            for tm in (m0 + 0.012, m1 - 0.012):
                s.append(f"Add oral formant frequency point: 1, {tm:.4f}, {300 * utt['kind'][3]:.1f}")
                s.append(f"Add oral formant frequency point: 2, {tm:.4f}, {1300 * utt['kind'][3]:.1f}")
        s.append(f"Add voicing amplitude point: {b - 0.02:.4f}, {seg['level']:.1f}")
        s.append(f"Add voicing amplitude point: {b + 0.0005:.4f}, 0")
        for j, (t, fm) in enumerate([(a + 0.03, seg["formants"][0]), (b - 0.03, seg["formants"][1])]):
            for i, f in enumerate(fm, 1):
                s.append(f"Add oral formant frequency point: {i}, {t:.4f}, {f:.1f}")
        # The gap after the segment: silence, or a breath or hiss of noise.
        g0, g1 = b + 0.03, b + 0.11
        if seg["gap"] == "aspiration":
            s += [f"Add aspiration amplitude point: {g0 - 0.005:.4f}, 0",
                  f"Add aspiration amplitude point: {g0:.4f}, {seg['level'] - 15:.1f}",
                  f"Add aspiration amplitude point: {g1:.4f}, {seg['level'] - 15:.1f}",
                  f"Add aspiration amplitude point: {g1 + 0.005:.4f}, 0"]
        elif seg["gap"] == "frication":
            s += [f"Add frication bypass point: {g0 - 0.005:.4f}, 0",
                  f"Add frication bypass point: {g0:.4f}, 0",
                  f"Add frication amplitude point: {g0 - 0.005:.4f}, 0",
                  f"Add frication amplitude point: {g0:.4f}, {seg['level'] - 20:.1f}",
                  f"Add frication amplitude point: {g1:.4f}, {seg['level'] - 20:.1f}",
                  f"Add frication amplitude point: {g1 + 0.005:.4f}, 0"]
    s += ["To Sound", f"Resample: {RATE}, 50", "Scale peak: 0.5", f'Save as WAV file: "{path}"',
          "removeObject: selected (\"Sound\")", "selectObject: \"KlattGrid u\"", "Remove",
          "select all", "Remove"]
    return "\n".join(s) + "\n"


def truth(utt):
    """f0 per 10 ms frame (0 unvoiced) and whether the frame is scored."""
    n = int(utt["seconds"] / STEP) + 1
    f0 = np.zeros(n)
    scored = np.ones(n, bool)
    times = np.arange(n) * STEP
    for seg in utt["segments"]:
        a, b = seg["start"], seg["end"]
        inside = (times > a) & (times < b)
        kt = [k[0] for k in seg["knots"]]
        kf = [k[1] for k in seg["knots"]]
        f0[inside] = np.interp(times[inside], kt, kf)
        for edge in (a, b):
            scored &= np.abs(times - edge) > 0.02
    for a, b in utt.get("unsure", []):
        scored &= (times < a) | (times > b)
    return times, f0, scored


def read_wav(path):
    with wave.open(path) as w:
        return np.frombuffer(w.readframes(w.getnframes()), "<i2").astype(np.float64)


def write_wav(path, x):
    x = np.clip(np.round(x), -32768, 32767).astype("<i2")
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(x.tobytes())


def make_set(args, work):
    rng = random.Random(args.seed)
    utts, script = [], []
    if "single" in args.sets:
        for kind in KINDS:
            for k in range(args.utterances):
                u = utterance(rng, kind, args.seconds)
                u["name"], u["cell"], u["set"] = f"{kind[0]}{k + 1}", kind[0], "single"
                utts.append(u)
    if "pairs" in args.sets:
        for u in sets.pair_utterances(utterance, rng, KINDS, max(1, args.utterances // 2)):
            u["set"] = "pairs"
            utts.append(u)
    for u in utts:
        script.append(praat_script(u, os.path.join(work, u["name"] + "_src.wav")))
    babble = []
    for k in range(8):
        u = utterance(rng, rng.choice(KINDS), args.seconds)
        babble.append(os.path.join(work, f"babble{k}.wav"))
        script.append(praat_script(u, babble[-1]))
    with open(os.path.join(work, "make.praat"), "w") as f:
        # The breath and hiss noises too come from the seed: the same set every run.
        f.write(f"random_initializeWithSeedUnsafelyButPredictably ({args.seed})\n" + "".join(script))
    subprocess.run(["praat", "--run", os.path.join(work, "make.praat")], check=True)
    if "human" in args.sets:
        voices = {"heldout": sets.HUMAN_HELDOUT, "other": sets.HUMAN_OTHER,
                  "fresh": sets.HUMAN_FRESH, "extra": sets.HUMAN_EXTRA}.get(args.voices, sets.HUMAN)
        for u in sets.human_utterances(rng, work, RATE, args.utterances, voices):
            u["set"] = "human"
            utts.append(u)
    voices = [read_wav(b) for b in babble]
    files = []
    nrng = np.random.default_rng(args.seed)
    for u in utts:
        clean = read_wav(os.path.join(work, u["name"] + "_src.wav"))
        power = np.mean(clean ** 2)
        white = nrng.standard_normal(len(clean))
        mix = sum(np.roll(np.resize(voices[j], len(clean)), int(nrng.integers(len(clean))))
                  for j in nrng.choice(8, 5, replace=False))
        noisy = {"clean": clean,
                 "white20": clean + white * math.sqrt(power / 10 ** 2.0),
                 "babble10": clean + mix * math.sqrt(power / 10 ** 1.0 / np.mean(mix ** 2))}
        for cond in CONDITIONS:
            path = os.path.join(work, f"{u['name']}_{cond}.wav")
            write_wav(path, noisy[cond])
            files.append((u, cond, path))
    return files


def make_joined(files, work, rng):
    """Per condition, the single-speaker and espeak-ng recordings joined in an
    order whose speaker changes at every join: "pause" keeps each recording
    whole (its own silence or noise at both ends), "nopause" cuts each to its
    voice, so that one speaker starts where the other stops. Each recording
    is made louder or softer by up to 12 dB, as recordings are, and every
    piece is written alone too, a whole number of frames long, so that its frames are
    the joined file's from its offset on. [(condition, mode, joined file,
    [(piece file, cell, first frame, frame count, the true f0 of each frame, 0
    where the voice does not speak or is not scored)])]."""
    hop = int(round(RATE * STEP))
    joins = []
    for cond in CONDITIONS:
        order = rng.sample([(u, p) for u, c, p in files if c == cond and u["set"] in ("single", "human")],
                           k=sum(1 for u, c, _ in files if c == cond and u["set"] in ("single", "human")))
        arranged = []
        while order:
            k = next((i for i, (u, _) in enumerate(order) if not arranged or u["cell"] != arranged[-1][0]["cell"]), 0)
            arranged.append(order.pop(k))
        gains = [10 ** (rng.uniform(-12, 4) / 20) for _ in arranged]
        for mode in ("pause", "nopause"):
            parts, pieces, at = [], [], 0
            for j, (u, p) in enumerate(arranged):
                x = read_wav(p) * gains[j]
                skip = 0
                if mode == "nopause":
                    a = min(seg["start"] for seg in u["segments"])
                    b = max(seg["end"] for seg in u["segments"])
                    skip = int(a * RATE) // hop
                    x = x[skip * hop:-(-int(b * RATE) // hop) * hop]
                x = x[:len(x) // hop * hop]
                _, f0, scored = truth(u)
                true_f0 = np.zeros(len(x) // hop) # where the voice speaks, scored; else 0
                k = min(len(true_f0), len(f0) - skip)
                true_f0[:k] = np.where(scored[skip:skip + k], f0[skip:skip + k], 0)
                piece = os.path.join(work, f"piece_{cond}_{mode}_{j}.wav")
                write_wav(piece, x)
                pieces.append((piece, u["cell"], at // hop, len(x) // hop, true_f0))
                parts.append(x)
                at += len(x)
            path = os.path.join(work, f"joined_{cond}_{mode}.wav")
            write_wav(path, np.concatenate(parts))
            joins.append((cond, mode, path, pieces))
    return joins


def report_joined(joins, tracks, name):
    """How far each piece's frames inside the joined file lie from the piece
    alone: over all frames, and over those where the piece's own voice speaks
    (the rest hold its pauses: silence, breath, hiss or the babble); and of the
    frames apart where the voice speaks, which reading the true f0 agrees with."""
    print(f"\n=== recordings joined into one file ({name}): each piece inside it against the same piece alone")
    print(f"{'':18}{'all frames':>32}{'where the voice speaks':>32}")
    print(f"{'file':18}" + f"{'frames':>8}{'voicing':>8}{'apart':>8}{'apart/v':>8}" * 2
          + "   pieces most apart (cell: frames)")
    totals = np.zeros((2, 4))
    right = np.zeros(3) # apart where the voice speaks: the piece alone right, the joined file right, neither

    def row(c):
        return "".join(f"{int(k[0]):8d}{100 * k[1] / max(k[0], 1):7.2f}%{100 * k[2] / max(k[0], 1):7.2f}%"
                       f"{100 * k[2] / max(k[3], 1):7.2f}%" for k in c)

    for cond, mode, path, pieces in joins:
        tj = tracks[path][1]
        c = np.zeros((2, 4))
        worst = []
        for piece, cell, first, count, f0 in pieces:
            fa, fj = tracks[piece][1][:count], tj[first:first + count]
            n = min(len(fa), len(fj))
            fa, fj, f0 = fa[:n], fj[:n], f0[:n]
            voice = f0 > 0
            va, vj = fa > 0, fj > 0
            both = va & vj
            apart = both & (np.abs(fj - fa) > 0.2 * np.where(both, fa, 1))
            for k, m in enumerate((np.ones(n, bool), voice)):
                c[k] += [np.sum(m), np.sum((va != vj) & m), np.sum(apart & m), np.sum(both & m)]
            worst.append((int(np.sum(va != vj) + np.sum(apart)), cell))
            ra, rj = (np.abs(f - f0) <= 0.2 * f0 for f in (fa, fj))
            right += [np.sum(apart & voice & ra), np.sum(apart & voice & rj & ~ra), np.sum(apart & voice & ~ra & ~rj)]
        totals += c
        worst = ", ".join(f"{cell}: {k}" for k, cell in sorted(worst, reverse=True)[:3] if k)
        print(f"{cond + ' ' + mode:18}{row(c)}   {worst}")
    print(f"{'all':18}{row(totals)}")
    for k, what in enumerate(("all frames", "where the voice speaks")):
        apart, voicing = totals[k][2] / max(totals[k][3], 1), totals[k][1] / max(totals[k][0], 1)
        print(f"joined  {what + ':':23} voiced in both, > 20 % apart: {100 * apart:.2f} %   target <= 0.2 %: "
              f"{'met' if apart <= 0.002 else 'MISSED'};  voicing differs: {100 * voicing:.2f} %   target <= 1 %: "
              f"{'met' if voicing <= 0.01 else 'MISSED'}")
    print(f"joined  apart where the voice speaks: right alone {int(right[0])}, right joined {int(right[1])}, "
          f"neither {int(right[2])} frames;  apart over all frames: {100 * totals[0][2] / max(totals[0][0], 1):.2f} %")


def report_range(counts, set_name, cells, span, who="ours"):
    """The research tracker over the user's range beside its own, per cell."""
    own, ranged = who + " nccf", who + " range"

    def ffe(name, cond=None, cell=None):
        return metrics(sum(v for k, v in counts.items() if k[0] == name and k[1] == set_name
                           and (cond is None or k[3] == cond) and (cell is None or k[2] == cell)))["FFE"]

    cells = list(dict.fromkeys(cells))
    if not cells or not any(k[0] == ranged and k[1] == set_name for k in counts):
        return
    width = max(9, max(len(c) for c in cells) + 2)
    print(f"\n{SETS[set_name][0]} ({who}): the user's range {span} Hz against the tracker's own, FFE own / range")
    print(f"{'condition':10}" + "".join(f"{c:>{width + 5}}" for c in cells) + f"{'all':>14}")
    worst = []
    for cond in CONDITIONS:
        row = ""
        for c in cells:
            o, r = ffe(own, cond, c), ffe(ranged, cond, c)
            worst.append((r - o, c, cond))
            row += f"{o:{width}.3f}/{r:.3f}"
        print(f"{cond:10}{row}{ffe(own, cond):9.3f}/{ffe(ranged, cond):.3f}")
    o, r = ffe(own), ffe(ranged)
    d, c, cond = max(worst)
    print(f"range  FFE {r:.3f} against {o:.3f}: {r - o:+.3f}   target <= +0.01: {'met' if r - o <= 0.01 else 'MISSED'};"
          f"  largest cell {d:+.3f} ({c}, {cond})   target <= +0.02: {'met' if d <= 0.02 else 'MISSED'}")


def steady_vowel(analyze, who):
    """The bundled steady vowel (120 Hz) at 50-400 Hz: no voiced frame below 0.8 x its median."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "site", "Korvath", "sounds",
                        "vowel-a.wav")
    rows = np.loadtxt(run([analyze, "pitch", "--floor", "50", "--ceiling", "400", path]).splitlines()[1:],
                      delimiter=",", ndmin=2)
    f = rows[:, 1][rows[:, 1] > 0]
    low = int(np.sum(f < 0.8 * np.median(f))) if len(f) else 0
    print(f"\nvowel-a.wav at 50-400 Hz ({who}): {len(f)} voiced frames, median {np.median(f) if len(f) else 0:.1f} Hz, "
          f"{low} below 0.8 x the median   target 0: {'met' if len(f) and low == 0 else 'MISSED'}")


def run(cmd):
    return subprocess.run(cmd, shell=isinstance(cmd, str), check=True, capture_output=True, text=True).stdout


def track_ours(analyze, files, tracker, work, extra=(), label=None):
    out = os.path.join(work, "out_" + (label or tracker))
    run([analyze, "pitch", "--tracker", tracker, "-o", out] + list(extra) + [p for _, _, p in files])
    tracks = {}
    for _, _, p in files:
        rows = np.loadtxt(os.path.join(out, os.path.basename(p)[:-4] + ".csv"), delimiter=",", skiprows=1, ndmin=2)
        tracks[p] = (rows[:, 0], rows[:, 1])
    return tracks


def track_praat(files, work):
    script = os.path.join(work, "track.praat")
    lines = []
    for _, _, p in files:
        lines += [f'Read from file: "{p}"', "To Pitch: 0.01, 75, 600", "n = Get number of frames",
                  f'writeFileLine: "{p}.praat.txt", ""', "for i to n",
                  "  t = Get time from frame number: i", '  f = Get value in frame: i, "Hertz"',
                  "  if f = undefined", "    f = 0", "  endif",
                  f'  appendFileLine: "{p}.praat.txt", fixed$ (t, 6), " ", fixed$ (f, 3)', "endfor",
                  "select all", "Remove"]
    with open(script, "w") as f:
        f.write("\n".join(lines) + "\n")
    run(["praat", "--run", script])
    return {p: tuple(np.loadtxt(p + ".praat.txt", ndmin=2).T) for _, _, p in files}


def track_rapt(files):
    sptk = "/usr/libexec/sptk/bin"
    hop = int(RATE * STEP)

    def one(p):
        out = run(f"tail -c +45 '{p}' | {sptk}/x2x +sf | {sptk}/pitch -a 0 -s {RATE / 1000:g} -p {hop} -L 60 -H 500"
                  f" -o 1 | {sptk}/x2x +fa")
        f = np.array([float(v) for v in out.split()])
        return p, (np.arange(len(f)) * STEP, f)

    with ThreadPoolExecutor(2) as pool:
        return dict(pool.map(one, [p for _, _, p in files]))


def track_aubio(files):
    hop = int(RATE * STEP)

    def one(p):
        rows = [l.split() for l in run(["aubiopitch", "-i", p, "-p", "yinfft", "-H", str(hop), "-u", "Hz"]).splitlines()]
        a = np.array([[float(r[0]), float(r[1])] for r in rows if len(r) == 2])
        return p, (a[:, 0], np.maximum(a[:, 1], 0))

    with ThreadPoolExecutor(2) as pool:
        return dict(pool.map(one, [p for _, _, p in files]))


def score(times, f0, scored, track):
    """Error counts of one track against the truth's scored frames."""
    t, f = track
    idx = np.clip(np.searchsorted(t, times), 0, len(t) - 1)
    prev = np.clip(idx - 1, 0, len(t) - 1)
    idx = np.where(np.abs(t[prev] - times) < np.abs(t[idx] - times), prev, idx)
    est = np.where(times <= t[-1] + STEP, f[idx], 0.0)[scored]
    ref = f0[scored]
    tv, ev = ref > 0, est > 0
    both = tv & ev
    gross = both & (np.abs(est - ref) > 0.2 * ref)
    cents = np.abs(1200 * np.log2(np.where(both, est, 1) / np.where(both, ref, 1)))
    return np.array([len(ref), np.sum(tv != ev), np.sum(gross), np.sum(both), np.sum(tv), np.sum(both & (cents <= 50))])


def metrics(c):
    n, vde, gpe, both, voiced, rpa = c
    return {"FFE": (vde + gpe) / max(n, 1), "GPE": gpe / max(both, 1), "VDE": vde / max(n, 1), "RPA": rpa / max(voiced, 1)}


SETS = {"single": ("single speaker (KlattGrid)", 0.01), "pairs": ("two speakers in turn (KlattGrid)", 0.015),
        "human": ("espeak-ng voices, contour imposed", 0.015)}


def report(counts, names, set_name, cells):
    """One set's rows: FFE per cell and condition, the totals, and the targets."""
    title, margin = SETS[set_name]
    cells = list(dict.fromkeys(cells))
    if not cells:
        return

    def total(name, cond=None, cell=None):
        return sum(v for k, v in counts.items() if k[0] == name and k[1] == set_name
                   and (cond is None or k[3] == cond) and (cell is None or k[2] == cell))

    width = max(9, max(len(c) for c in cells) + 2)
    print(f"\n=== {title}")
    for cond in CONDITIONS:
        print(f"\n{cond}: FFE per cell (GPE / VDE / RPA of all cells)")
        print(f"{'tracker':10}" + "".join(f"{c:>{width}}" for c in cells) + f"{'all':>9}{'GPE':>8}{'VDE':>8}{'RPA':>8}")
        for n in names:
            m = metrics(total(n, cond))
            print(f"{n:10}" + "".join(f"{metrics(total(n, cond, c))['FFE']:{width}.3f}" for c in cells)
                  + f"{m['FFE']:9.3f}{m['GPE']:8.3f}{m['VDE']:8.3f}{m['RPA']:8.3f}")
    print(f"\n{title}, all conditions")
    print(f"{'tracker':10}{'FFE':>8}{'GPE':>8}{'VDE':>8}{'RPA':>8}")
    for n in names:
        m = metrics(total(n))
        print(f"{n:10}{m['FFE']:8.3f}{m['GPE']:8.3f}{m['VDE']:8.3f}{m['RPA']:8.3f}")
    peers = [n for n in names if not n.startswith(("ours", "before"))]
    if "ours nccf" not in names or not peers:
        return
    ours = metrics(total("ours nccf"))["FFE"]
    best = min(peers, key=lambda n: metrics(total(n))["FFE"])
    best_ffe = metrics(total(best))["FFE"]
    print(f"ratio  nccf FFE / best peer's ({best})  : {ours / max(best_ffe, 1e-9):6.3f}   target <= 0.8: "
          f"{'met' if ours <= 0.8 * best_ffe else 'MISSED'}")
    worst = []
    for cond in CONDITIONS:
        for c in cells:
            o = metrics(total("ours nccf", cond, c))["FFE"]
            b = min(metrics(total(n, cond, c))["FFE"] for n in peers)
            worst.append((o - b, c, cond))
    d, c, cond = max(worst)
    print(f"cells  nccf FFE - best peer's, largest: {d:+6.3f} ({c}, {cond})   target <= +{margin}: "
          f"{'met' if d <= margin else 'MISSED'}")
    if set_name == "single":
        gpe = max((metrics(total("ours nccf", "clean", c))["GPE"], c) for c in cells)
        print(f"clean  nccf GPE, largest of the cells : {gpe[0]:6.3f} ({gpe[1]})   target <= 0.01: "
              f"{'met' if gpe[0] <= 0.01 else 'MISSED'}")


def main():
    global RATE, KINDS
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--seed", type=int, default=8)
    ap.add_argument("--utterances", type=int, default=3)
    ap.add_argument("--seconds", type=float, default=12.0)
    ap.add_argument("--rate", type=int, default=16000, help="the set's sample rate")
    ap.add_argument("--keep")
    ap.add_argument("--only", help="comma-separated trackers to run")
    ap.add_argument("--sets", default="single,pairs,human", help="comma-separated: single, pairs, human")
    ap.add_argument("--voices", default="default", choices=["default", "heldout", "other", "fresh", "extra"])
    ap.add_argument("--range", help="FLOOR,CEILING: the research tracker over this range too")
    ap.add_argument("--joined", action="store_true", help="the recordings joined, against each alone")
    ap.add_argument("--before", help="an earlier build whose research tracker runs beside ours")
    args = ap.parse_args()
    RATE = args.rate
    if args.voices == "heldout":
        KINDS = KINDS_HELDOUT
    elif args.voices == "other":
        KINDS = KINDS_OTHER
    elif args.voices == "fresh":
        KINDS = KINDS_FRESH
    elif args.voices == "extra":
        KINDS = KINDS_EXTRA
    analyze = os.path.join(args.build, "bin", "sonavel-analyze")
    work = args.keep or tempfile.mkdtemp(prefix="bench_accuracy.")
    os.makedirs(work, exist_ok=True)
    print(f"accuracy benchmark: set {args.seed} ({args.voices} voices), {args.utterances} utterances of "
          f"{args.seconds:g} s per kind of speaker, {RATE} Hz, clean / white noise 20 dB / babble 10 dB", flush=True)
    args.sets = args.sets.split(",")
    made = os.path.join(work, "set.pickle")
    if args.keep and os.path.exists(made):  # the set kept by an earlier run of the same options
        with open(made, "rb") as f:
            files = pickle.load(f)
    else:
        files = make_set(args, work)
        with open(made, "wb") as f:
            pickle.dump(files, f)
    trackers = {
        "ours nccf": lambda: track_ours(analyze, files, "nccf", work),
        "ours range": lambda: track_ours(analyze, files, "nccf", work, span, "range"),
        "before nccf": lambda: track_ours(before, files, "nccf", work, (), "before"),
        "before range": lambda: track_ours(before, files, "nccf", work, span, "before_range"),
        "ours amdf": lambda: track_ours(analyze, files, "amdf", work),
        "Praat": lambda: track_praat(files, work),
        "RAPT": lambda: track_rapt(files),
        "aubio": lambda: track_aubio(files),
    }
    span = []
    if args.range:
        lo, hi = args.range.split(",")
        span = ["--floor", lo, "--ceiling", hi]
    else:
        del trackers["ours range"], trackers["before range"]
    before = os.path.join(args.before or "", "bin", "sonavel-analyze")
    if not args.before:
        trackers = {k: v for k, v in trackers.items() if not k.startswith("before")}
    if args.only:
        trackers = {k: v for k, v in trackers.items() if k in args.only.split(",")}
    counts = {}
    for name, fn in trackers.items():
        # A kept set keeps the peers' and the earlier build's tracks too: they do not change between runs.
        kept = os.path.join(work, f"tracks_{name.replace(' ', '_')}.pickle") \
            if args.keep and not name.startswith("ours") else None
        try:
            if kept and os.path.exists(kept):
                with open(kept, "rb") as f:
                    tracks = pickle.load(f)
            else:
                tracks = fn()
                if kept:
                    with open(kept, "wb") as f:
                        pickle.dump(tracks, f)
        except (subprocess.CalledProcessError, OSError) as e:
            print(f"{name}: could not be run ({e}); scripts/ensure-packages praat sptk aubio-tools espeak-ng")
            continue
        for u, cond, p in files:
            key = (name, u["set"], u["cell"], cond)
            counts[key] = counts.get(key, 0) + score(*truth(u), tracks[p])
    for set_name in [s for s in SETS if s in args.sets]:
        cells = [u["cell"] for u, c, _ in files if u["set"] == set_name and c == CONDITIONS[0]]
        report(counts, [n for n in trackers if any(k[0] == n for k in counts) and not n.endswith(" range")], set_name,
               cells)
        if args.range:
            for who in ["before"] * bool(args.before) + ["ours"]:
                report_range(counts, set_name, cells, args.range.replace(",", "-"), who)
    if args.range:
        for who, program in [("before", before)] * bool(args.before) + [("ours", analyze)]:
            steady_vowel(program, who)
    if args.joined:
        joins = make_joined(files, work, random.Random(args.seed + 1000))
        listed = [(None, None, path) for _, _, path, _ in joins] + \
                 [(None, None, piece[0]) for _, _, _, pieces in joins for piece in pieces]
        runs = [("ours nccf", analyze, [])] + [("ours range", analyze, span)] * bool(args.range)
        if args.before:
            runs = [("before nccf", before, []), ("before range", before, span)][:len(runs)] + runs
        for name, program, extra in runs:
            label = "joined_" + name.replace(" ", "_")
            report_joined(joins, track_ours(program, listed, "nccf", work, extra, label), name)
    if not args.keep:
        shutil.rmtree(work)


if __name__ == "__main__":
    sys.exit(main())
