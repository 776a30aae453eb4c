#!/usr/bin/env python3
"""Short voiced and voiceless stretches (not a test): whether the research
tracker hears a vowel of 30-60 ms between two hisses, and a voiceless
consonant of 30-80 ms (a hiss, or a closure and its breath) between two
vowels at one pitch, beside Praat on the same files. Each file holds, for a
110 Hz and a 220 Hz voice, eight vowel-gap-vowel triples and four short soft
vowels (8 dB below the long ones) between hisses; six seeds, clean and with
white noise at 20 and 10 dB SNR. Tuning the tracker's voicing costs never
saw these files: they check that a cost which keeps a breath's flicker from
passing as a voice does not cost the short vowels a listener hears.

  short_segments.py BUILD_DIR [--keep DIR]

A vowel is found when a frame inside it is voiced within 20 % of its pitch;
a gap when a frame inside it is unvoiced.
"""
import argparse
import os
import shutil
import sys
import tempfile
from collections import defaultdict

import numpy as np
from scipy.signal import lfilter

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from accuracy import RATE, run, track_praat, write_wav  # noqa: E402


def resonate(x, hz, bandwidth):
    r = np.exp(-np.pi * bandwidth / RATE)
    return lfilter([1 - r], [1, -2 * r * np.cos(2 * np.pi * hz / RATE), r * r], x)


def make(seed, snr, path):
    """One file and its stretches [(start, end, f0 or 0)]."""
    rng = np.random.default_rng(seed)

    def voiced(seconds, f0, formants):
        n = int(seconds * RATE)
        x, t = np.zeros(n), 0.0
        while t < n:
            x[int(t)] = 1.0
            t += RATE / (f0 * (1 + 0.01 * rng.standard_normal()))
        x = lfilter([1], [1, -0.97], x)
        for hz, bw in zip(formants, (80, 100, 150)):
            x = resonate(x, hz, bw)
        return x / (np.std(x) + 1e-9)

    def hiss(seconds, centre):
        return resonate(rng.standard_normal(int(seconds * RATE)), centre, 2000)

    def ramp(x, ms):
        k = int(ms * RATE / 1000)
        w = np.ones(len(x))
        w[:k], w[-k:] = np.linspace(0, 1, k), np.linspace(1, 0, k)
        return x * w

    parts, stretches, at = [], [], 0.0

    def add(x, f0):
        nonlocal at
        parts.append(x)
        stretches.append((at, at + len(x) / RATE, f0))
        at += len(x) / RATE

    add(0.001 * rng.standard_normal(int(0.2 * RATE)), 0)
    for f0, formants in ((110, (600, 1100, 2500)), (220, (800, 1600, 2900))):
        for gap in (0.03, 0.04, 0.06, 0.08):
            for kind in ("hiss", "closure"):
                add(ramp(voiced(0.2, f0, formants), 8), f0)
                g = hiss(gap, 4500) * 0.5 if kind == "hiss" else hiss(gap, 1500) * 0.15
                if kind == "closure":
                    g[:len(g) // 2] *= 0.02
                add(g, 0)
        for length in (0.03, 0.04, 0.05, 0.06):
            add(hiss(0.15, 4500) * 0.4, 0)
            add(ramp(voiced(length, f0, formants), 5) * 0.4, f0)
            add(hiss(0.15, 4500) * 0.4, 0)
        add(np.zeros(int(0.3 * RATE)), 0)
    x = np.concatenate(parts)
    if snr is not None:
        x = x + rng.standard_normal(len(x)) * np.sqrt(np.mean(x ** 2) / 10 ** (snr / 10))
    write_wav(path, x / np.max(np.abs(x)) * 0.5 * 32767)
    return stretches


def found(stretches, times, f0s):
    """{(kind, ms): [found, all]} for one track."""
    out = defaultdict(lambda: [0, 0])
    for k, (a, b, f0) in enumerate(stretches):
        inner = (times > a + 0.005) & (times < b - 0.005)
        if f0 == 0 and b - a < 0.1 and k > 0:
            key, ok = ("gap", round((b - a) * 1000)), np.any(f0s[inner] == 0)
        elif f0 > 0 and b - a < 0.1:
            v = f0s[inner]
            key, ok = ("vowel", round((b - a) * 1000)), np.any((v > 0) & (np.abs(v - f0) < 0.2 * f0))
        else:
            continue
        out[key][0] += bool(ok)
        out[key][1] += 1
    return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--keep")
    args = parser.parse_args()
    work = args.keep or tempfile.mkdtemp(prefix="short-")
    os.makedirs(work, exist_ok=True)
    analyze = os.path.join(args.build, "bin", "sonavel-analyze")
    files = []
    for snr in (None, 20, 10):
        for seed in range(7, 13):
            path = os.path.join(work, f"short_{seed}_{snr or 'clean'}.wav")
            files.append((snr, path, make(seed, snr, path)))
    out = os.path.join(work, "ours")
    run([analyze, "pitch", "--tracker", "nccf", "-o", out] + [p for _, p, _ in files])
    ours = {p: np.loadtxt(os.path.join(out, os.path.basename(p)[:-4] + ".csv"), delimiter=",", skiprows=1).T[:2]
            for _, p, _ in files}
    praat = track_praat([(None, None, p) for _, p, _ in files], work)
    print("short stretches found (of each kind, over six files), ours / Praat")
    for snr in (None, 20, 10):
        counts = {who: defaultdict(lambda: [0, 0]) for who in ("ours", "Praat")}
        for s, p, stretches in files:
            if s != snr:
                continue
            for who, track in (("ours", ours[p]), ("Praat", praat[p])):
                for key, (k, n) in found(stretches, *track).items():
                    counts[who][key][0] += k
                    counts[who][key][1] += n
        cells = "  ".join(f"{kind} {ms} ms {counts['ours'][(kind, ms)][0]:2d}/{counts['Praat'][(kind, ms)][0]:2d}"
                          f" of {counts['ours'][(kind, ms)][1]}" for kind, ms in sorted(counts["ours"]))
        print(f"{'clean' if snr is None else f'white {snr} dB':12} {cells}")
    if not args.keep:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
