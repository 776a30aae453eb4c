"""The voice benchmark's sets: sustained vowels whose perturbation is known.

Each cycle is one and the same waveform (a glottal flow derivative through a
cascade of formant resonators, tapered to zero before the shortest period
ends, so its ringing has died before the next closure), scaled by the cycle's
amplitude and placed at the cycle's onset to a fraction of a sample. The
periods are drawn with a known jitter around a slowly drifting f0, the
amplitudes with a known shimmer, and white noise is mixed at a known
harmonics-to-noise ratio (the voice's power over the noise's). The truth of
jitter and shimmer is computed from the drawn periods and amplitudes by the
usual definitions (perturbation() below, written apart from the program's).

Two families:
  perturb  jitter 0.05-3 %, shimmer 0.5-12 %, noise 30-45 dB below the voice
  noise    noise at 3-30 dB, a nearly steady voice (jitter <= 0.1 %, shimmer
           <= 1 %)
men's (90-140 Hz), women's (170-260 Hz) and high (280-440 Hz) voices, at 44.1,
22.05 and 16 kHz.
"""
import math
import wave

import numpy as np
from scipy import signal
from scipy.interpolate import CubicSpline

KINDS = [("man", 90, 140, 1.0), ("woman", 170, 260, 1.17), ("high", 280, 440, 1.35)]
VOWELS = [(730, 1090, 2440), (270, 2290, 3010), (530, 1840, 2480), (300, 870, 2240), (570, 840, 2410),
          (440, 1020, 2240), (660, 1720, 2410), (490, 1350, 1690), (390, 1990, 2550), (640, 1190, 2390)]
RATES = [44100, 44100, 22050, 16000]
OVERSAMPLE = 16


def write_wav(path, x, rate):
    y = np.clip(np.round(x * 32767), -32768, 32767).astype("<i2")
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(y.tobytes())


def cycle_shape(rate, period, tmin, formants, bandwidths, open_quotient):
    """One cycle's waveform at OVERSAMPLE x rate, starting at the cycle's onset:
    a Rosenberg flow's derivative over the open phase through the resonators,
    band-limited below 0.45 x rate, its ringing after the closure tapered to 0
    by 0.85 x tmin after it (before the next cycle's closure)."""
    hi = rate * OVERSAMPLE
    closure = open_quotient * period
    n = int((closure + 0.85 * tmin) * hi)
    t = np.arange(n) / hi
    tp, tn = 0.66 * closure, 0.34 * closure
    flow = np.where(t < tp, 0.5 * (1 - np.cos(np.pi * t / tp)),
                    np.where(t < tp + tn, np.cos(np.pi * (t - tp) / (2 * tn)), 0.0))
    y = np.diff(flow, prepend=0.0)
    for f, bw in zip(formants, bandwidths):
        if f >= 0.45 * rate:
            continue
        r = math.exp(-math.pi * bw / hi)
        a = [1, -2 * r * math.cos(2 * math.pi * f / hi), r * r]
        y = signal.lfilter([sum(a)], a, y)
    taper = np.ones(n)
    k0 = int((closure + 0.45 * tmin) * hi)
    taper[k0:] = 0.5 + 0.5 * np.cos(np.pi * np.arange(n - k0) / (n - k0))
    y *= taper
    lp = signal.firwin(8 * OVERSAMPLE + 1, 0.45 / OVERSAMPLE * 2)  # zero phase below
    y = np.convolve(y, lp)[4 * OVERSAMPLE: 4 * OVERSAMPLE + n]
    return y / np.max(np.abs(y))


def make_voice(rng, kind, family, rate, seconds=2.0):
    name, f0lo, f0hi, scale = kind
    f0 = rng.uniform(f0lo, f0hi)
    if family == "perturb":
        jitter = math.exp(rng.uniform(math.log(0.0005), math.log(0.03)))
        shimmer = math.exp(rng.uniform(math.log(0.005), math.log(0.12)))
        hnr = rng.uniform(30, 45)
    else:
        jitter = rng.uniform(0.0002, 0.001)
        shimmer = rng.uniform(0.003, 0.01)
        hnr = rng.uniform(3, 30)
    sigma_t = jitter / 1.128               # relative sd of a period
    sigma_db = shimmer / 0.1837            # sd of a cycle's level in dB
    drift, phase = rng.uniform(0.005, 0.03), rng.uniform(0, 2 * math.pi)
    onsets, amps, t = [], [], 0.02
    while True:
        mean_t = 1 / (f0 * (1 + drift * math.sin(2 * math.pi * 0.4 * t + phase)))
        onsets.append(t)
        amps.append(10 ** (rng.normal(0, sigma_db) / 20) * (1 + 0.1 * math.sin(2 * math.pi * 0.7 * t)))
        period = mean_t * (1 + rng.normal(0, sigma_t))
        if t + period > seconds - 0.02:
            break
        t += period
    onsets, amps = np.array(onsets), np.array(amps)
    periods = np.diff(onsets)
    vowel = VOWELS[rng.integers(len(VOWELS))]
    formants = [f * scale * rng.uniform(0.95, 1.05) for f in vowel] + [3500 * scale, 4500 * scale]
    bandwidths = [rng.uniform(60, 110), rng.uniform(80, 140), rng.uniform(120, 200), 250, 300]
    shape = cycle_shape(rate, float(np.mean(periods)), float(np.min(periods)), formants, bandwidths,
                        rng.uniform(0.45, 0.7))
    hi = rate * OVERSAMPLE
    spline = CubicSpline(np.arange(len(shape)) / hi, shape)
    n = int(seconds * rate)
    x = np.zeros(n)
    span = len(shape) / hi
    for onset, amp in zip(onsets, amps):
        k0, k1 = int(math.ceil(onset * rate)), min(n, int(math.floor((onset + span) * rate)))
        k = np.arange(k0, k1)
        x[k] += amp * spline(k / rate - onset)
    voiced = slice(int(onsets[0] * rate), int(onsets[-1] * rate))
    power = float(np.mean(x[voiced] ** 2))
    x += rng.normal(0, math.sqrt(power / 10 ** (hnr / 10)), n)
    x *= 0.5 / np.max(np.abs(x))
    return {"kind": name, "family": family, "rate": rate, "f0": f0, "x": x, "onsets": onsets, "amps": amps,
            "hnr": hnr, "jitter_param": jitter, "shimmer_param": shimmer, "formants": formants}


def make_set(seed, count):
    """count files of each kind and family, the same for the same seed."""
    rng = np.random.default_rng(seed)
    files = []
    for family in ("perturb", "noise"):
        for kind in KINDS:
            for k in range(count):
                v = make_voice(rng, kind, family, RATES[k % len(RATES)])
                v["name"] = f"{family}-{kind[0]}-{k + 1}"
                files.append(v)
    return files


def _pairs_mean(values, ok):
    d = [abs(v) for v, good in zip(values, ok) if good]
    return sum(d) / len(d) if d else float("nan")


def perturbation(periods, amps):
    """Jitter and shimmer of one run of consecutive periods (all inside the
    guards) and the amplitudes of those periods, in percent (local_abs in us,
    shimmer_db in dB), by the usual definitions."""
    T, A = np.asarray(periods, float), np.asarray(amps, float)
    n = len(T)
    out = {}
    mt, ma = T.mean(), A.mean()
    out["jitter_local"] = 100 * np.mean(np.abs(np.diff(T))) / mt
    out["jitter_local_abs"] = 1e6 * np.mean(np.abs(np.diff(T)))
    out["jitter_rap"] = 100 * np.mean([abs(T[i] - T[i - 1:i + 2].mean()) for i in range(1, n - 1)]) / mt
    out["jitter_ppq5"] = 100 * np.mean([abs(T[i] - T[i - 2:i + 3].mean()) for i in range(2, n - 2)]) / mt
    out["jitter_ddp"] = 100 * np.mean(np.abs(np.diff(T, 2))) / mt
    out["shimmer_local"] = 100 * np.mean(np.abs(np.diff(A))) / ma
    out["shimmer_db"] = np.mean(np.abs(20 * np.log10(A[1:] / A[:-1])))
    out["shimmer_apq3"] = 100 * np.mean([abs(A[i] - A[i - 1:i + 2].mean()) for i in range(1, n - 1)]) / ma
    out["shimmer_apq5"] = 100 * np.mean([abs(A[i] - A[i - 2:i + 3].mean()) for i in range(2, n - 2)]) / ma
    out["shimmer_apq11"] = 100 * np.mean([abs(A[i] - A[i - 5:i + 6].mean()) for i in range(5, n - 5)]) / ma
    out["shimmer_dda"] = 100 * np.mean(np.abs(np.diff(A, 2))) / ma
    return out


def truth(v):
    """The file's true measures: the drawn periods (onset to onset) and the
    amplitude of the cycle that starts each period."""
    t = perturbation(np.diff(v["onsets"]), v["amps"][:-1])
    t["hnr"] = v["hnr"]
    return t
