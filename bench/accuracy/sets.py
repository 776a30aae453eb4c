"""The accuracy benchmark's two further sets (see accuracy.py).

pairs: two kinds of speaker in one file, each talking in turn: one after the
  other (6 s each), and alternating turns of 2-10 s; a pause of 0.35 s or more
  between turns. Made by Praat's KlattGrid as the single-speaker set is.
human: espeak-ng's voices (human-like, not KlattGrid) saying sentences, with a
  pitch contour of ours imposed by Praat's Manipulation (overlap-add). The
  truth is the imposed contour wherever Praat's pulses of the sentence say
  voiced (its vuv TextGrid), unvoiced elsewhere; frames outside the pulses
  that a lenient look still finds periodic keep the source's own pitch and
  are not scored.
"""
import os
import subprocess
import wave

import numpy as np

# The pairs as places in the list of kinds (creaky, low male, male, female, child, or the held-out five).
PAIRS = [(2, 4), (4, 2), (0, 3), (3, 0), (1, 4)]

# name, espeak-ng voice, f0 range of the imposed contour
HUMAN = [("hman", "en-us", 85, 150), ("hwoman", "en-us+f3", 165, 300), ("hchild", "en-us+f4", 240, 420)]
# Voices for tuning beside the defaults (--voices other).
HUMAN_OTHER = [("oman", "en-us+m5", 85, 160), ("owoman", "en-gb+f1", 170, 300), ("ochild", "en-us+f5", 245, 430)]
# Voices never tuned on (--voices heldout).
HUMAN_HELDOUT = [("hman2", "en-gb+m3", 90, 165), ("hwoman2", "en-us+f2", 170, 290), ("hchild2", "en-gb+f5", 250, 440)]
# Voices for tuning beside the others (--voices extra).
HUMAN_EXTRA = [("xman", "en-us+m2", 85, 150), ("xwoman", "en-us+f1", 165, 290), ("xchild", "en-us+m4", 240, 420)]
# Voices made only for the final check of a change (--voices fresh).
HUMAN_FRESH = [("fman", "en-gb+m6", 90, 160), ("fwoman", "en-gb+f3", 170, 300), ("fchild", "en-gb+f4", 250, 440)]
SENTENCES = [
    "When the sunlight strikes raindrops in the air, they act as a prism and form a rainbow.",
    "The rainbow is a division of white light into many beautiful colours.",
    "These take the shape of a long round arch, with its path high above.",
    "Please call Stella and ask her to bring these things with her from the store.",
    "Six spoons of fresh snow peas, five thick slabs of blue cheese, and maybe a snack.",
    "We also need a small plastic snake and a big toy frog for the kids.",
    "She can scoop these things into three red bags, and we will go meet her Wednesday.",
    "The north wind and the sun were disputing which was the stronger, when a traveller came along.",
]


def turn_utterance(utterance, rng, kinds, lengths):
    """One file of several speakers in turn: each turn an utterance of its kind."""
    segments, t = [], 0.0
    for kind, length in zip(kinds, lengths):
        u = utterance(rng, kind, length)
        keep = [s for s in u["segments"] if s["end"] <= length - 0.05] or u["segments"][:1]
        for s in keep:
            s = dict(s, start=s["start"] + t, end=s["end"] + t, knots=[(k + t, f) for k, f in s["knots"]])
            if s["murmur"]:
                s["murmur"] = (s["murmur"][0] + t, s["murmur"][1] + t, s["murmur"][2])
            segments.append(s)
        t += length
    return {"kind": kinds[0], "seconds": t, "segments": segments, "flutter": 0.1}


def pair_utterances(utterance, rng, kinds, count):
    """count files of each pair one after the other and count of turns."""
    utts = []
    for ia, ib in PAIRS:
        ka, kb = kinds[ia], kinds[ib]
        a, b = ka[0], kb[0]
        for k in range(count):
            u = turn_utterance(utterance, rng, [ka, kb], [6.0, 6.0])
            u["name"], u["cell"] = f"{a}-{b}-seq{k + 1}", f"{a}>{b}"
            utts.append(u)
            lengths = []
            while sum(lengths) < 20:
                lengths.append(rng.uniform(2, 10))
            u = turn_utterance(utterance, rng, [(ka, kb)[i % 2] for i in range(len(lengths))], lengths)
            u["name"], u["cell"] = f"{a}-{b}-turns{k + 1}", f"{a}>{b}"
            utts.append(u)
    return utts


def human_utterances(rng, work, rate, count, voices=HUMAN):
    """espeak-ng sentences with a contour imposed; each one's truth as segments."""
    utts, script = [], []
    for name, voice, lo, hi in voices:
        for k in range(count):
            text = " ".join(rng.sample(SENTENCES, 2))
            src = os.path.join(work, f"{name}{k + 1}_espeak.wav")
            subprocess.run(["espeak-ng", "-v", voice, "-s", str(rng.randint(140, 170)), "-w", src, text], check=True)
            out = os.path.join(work, f"{name}{k + 1}_src.wav")
            vuv = out + ".vuv"
            # The contour: a random walk between lo and hi, a knot every 60-200 ms.
            knots, t, u = [], 0.0, rng.uniform(0.2, 0.8)
            while t < 40:
                knots.append((t, lo * (hi / lo) ** u))
                u = min(1.0, max(0.0, u + rng.gauss(0, 0.13)))
                t += rng.uniform(0.06, 0.2)
            script += [f'Read from file: "{src}"', f"Resample: {rate}, 50", "s = selected (\"Sound\")",
                       "To Manipulation: 0.01, 60, 600", "m = selected (\"Manipulation\")",
                       "selectObject: s", "d = Get total duration",
                       'Create PitchTier: "c", 0, d', "p = selected (\"PitchTier\")"]
            script += [f"Add point: {kt:.4f}, {kf:.3f}" for kt, kf in knots]
            script += ["selectObject: m, p", "Replace pitch tier", "selectObject: m", "Get resynthesis (overlap-add)",
                       "Scale peak: 0.5", f'Save as WAV file: "{out}"', "selectObject: m", "Extract pulses",
                       "To TextGrid (vuv): 0.02, 0.01", "n = Get number of intervals: 1",
                       f'writeFileLine: "{vuv}", ""', "for i to n",
                       "  lab$ = Get label of interval: 1, i",
                       '  if lab$ = "V"', "    a = Get start time of interval: 1, i",
                       "    b = Get end time of interval: 1, i",
                       f'    appendFileLine: "{vuv}", fixed$ (a, 4), " ", fixed$ (b, 4)', "  endif", "endfor",
                       # Where the pulses saw no voice, the sound is the source's own,
                       # unchanged; a lenient look finds what of it is still periodic.
                       f'selectObject: "Sound {name}{k + 1}_espeak"',
                       'To Pitch (cc): 0.01, 60, 15, "no", 0.03, 0.25, 0.01, 0.35, 0.14, 600',
                       "n = Get number of frames", f'writeFileLine: "{vuv}.lenient", ""', "for i to n",
                       '  f = Get value in frame: i, "Hertz"', "  t = Get time from frame number: i",
                       "  if f <> undefined", f'    appendFileLine: "{vuv}.lenient", fixed$ (t, 4)',
                       "  endif", "endfor",
                       "select all", "Remove"]
            utts.append({"name": f"{name}{k + 1}", "cell": name, "knots": knots, "vuv": vuv, "src": out})
    with open(os.path.join(work, "human.praat"), "w") as f:
        f.write("\n".join(script) + "\n")
    subprocess.run(["praat", "--run", os.path.join(work, "human.praat")], check=True)
    for u in utts:
        spans = np.loadtxt(u["vuv"], ndmin=2)
        kt, kf = [k[0] for k in u["knots"]], [k[1] for k in u["knots"]]
        u["segments"] = [{"start": a, "end": b, "knots": [(a, float(np.interp(a, kt, kf)))]
                          + [k for k in u["knots"] if a < k[0] < b] + [(b, float(np.interp(b, kt, kf)))]}
                         for a, b in spans]
        # Periodic frames outside the pulses keep the source's own pitch, which
        # no one imposed: not scored.
        u["unsure"] = [(t - 0.006, t + 0.006) for t in np.atleast_1d(np.loadtxt(u["vuv"] + ".lenient", ndmin=1))
                       if not any(a <= t <= b for a, b in spans)]
        with wave.open(u["src"]) as w:
            u["seconds"] = w.getnframes() / w.getframerate()
    return utts
