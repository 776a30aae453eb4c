#!/usr/bin/env python3
"""The bundled site's recordings: the committed files are exactly what the
generator writes, sox decodes every one to the same samples the player loads,
and each voice has the pitch its page claims.

usage: test_lowerpane_recordings.py SITEGEN SONAVEL_ANALYZE SOUNDS_FOLDER
"""
import array
import os
import statistics
import subprocess
import sys
import tempfile

sitegen, analyze, sounds = sys.argv[1:4]
failures = []

# sox's view of each file (type, extra options) and the pitch the pages state
# (None: a contour, checked by its direction instead).
EXPECTED = {
    "vowel-a.wav": ([], 120), "vowel-i.wav": ([], 120), "vowel-u.wav": ([], 120),
    "vowel-a-female.wav": ([], 200), "vowel-i-8bit.wav": ([], 120),
    "rising.aif": ([], "rise"), "falling.aifc": ([], "fall"), "hat.au": ([], None),
    "telephone-mulaw.wav": ([], "fall"), "telephone-mulaw.au": ([], "fall"),
    "stereo-male-left.wav": ([], 110),
    "reference-150hz-le.pcm": (["-t", "raw", "-r", "16000", "-e", "signed", "-b", "16", "-L"], 150),
    "reference-150hz-be.pcm": (["-t", "raw", "-r", "16000", "-e", "signed", "-b", "16", "-B"], 150),
    "question.flac": ([], "rise"), "question.mp3": ([], "rise"),
}
HEADER_BYTES = {"reference-150hz-le.pcm": 6480, "reference-150hz-be.pcm": 6480}


def decode(path, scratch):
    out = os.path.join(scratch, "decoded.raw")
    subprocess.run([analyze, "samples", path, "-o", out], check=True, capture_output=True)
    with open(out, "rb") as raw:
        return raw.read()


def correlation(a, b):
    xy = sum(x * y for x, y in zip(a, b))
    xx = sum(x * x for x in a)
    yy = sum(y * y for y in b)
    return xy / ((xx * yy) ** 0.5) if xx and yy else 0.0


def check(condition, message):
    if not condition:
        failures.append(message)


with tempfile.TemporaryDirectory() as scratch:
    fresh = os.path.join(scratch, "fresh")
    os.mkdir(fresh)
    subprocess.run([sitegen, fresh], check=True)
    check(sorted(os.listdir(fresh)) == sorted(os.listdir(sounds)),
          "committed recordings differ from the generator's list")
    check(sorted(os.listdir(sounds)) == sorted(EXPECTED), "a recording is not covered by this test")

    for name in sorted(os.listdir(sounds)):
        path = os.path.join(sounds, name)
        with open(path, "rb") as committed, open(os.path.join(fresh, name), "rb") as made:
            identical = committed.read() == made.read()
        if not identical:
            # Floating point may round differently on another machine: the same
            # format, length and rate with near-identical samples is still current.
            same = subprocess.run([analyze, "info", path], capture_output=True, text=True).stdout == \
                subprocess.run([analyze, "info", os.path.join(fresh, name)], capture_output=True, text=True).stdout
            a, b = (array.array("h", decode(p, scratch)) for p in (path, os.path.join(fresh, name)))
            check(same and len(a) == len(b) and correlation(a, b) > 0.999,
                  f"{name}: committed file is stale, rerun sitegen")

        loaded = os.path.join(scratch, name + ".player")
        run = subprocess.run([analyze, "samples", path, "-o", loaded], capture_output=True, text=True)
        check(run.returncode == 0, f"{name}: the player cannot load it: {run.stderr}")
        if run.returncode != 0:
            continue
        player = array.array("h", open(loaded, "rb").read())

        options, pitch = EXPECTED[name]
        source = path
        if name in HEADER_BYTES:   # sox reads the raw part behind the header
            source = os.path.join(scratch, name + ".body")
            with open(path, "rb") as whole, open(source, "wb") as body:
                body.write(whole.read()[HEADER_BYTES[name]:])
        decoded = os.path.join(scratch, name + ".sox")
        if name.endswith(".mp3"):   # sox keeps the encoder's delay and padding; ffmpeg drops them
            subprocess.run(["ffmpeg", "-v", "error", "-i", source, "-f", "s16le", decoded], check=True)
        else:
            subprocess.run(["sox"] + options + [source, "-t", "raw", "-e", "signed", "-b", "16", "-L",
                                                 decoded, "remix", "1"], check=True)
        reference = array.array("h", open(decoded, "rb").read())
        check(len(player) == len(reference), f"{name}: {len(player)} samples, sox finds {len(reference)}")
        # Mu-law tables differ in rounding by a few steps, MP3 decoders by one or
        # two; linear data must match exactly.
        tolerance = 40 if "mulaw" in name else 3 if name.endswith(".mp3") else 0
        worst = max((abs(a - b) for a, b in zip(player, reference)), default=0)
        check(worst <= tolerance, f"{name}: differs from sox's decoding by up to {worst}")

        track = subprocess.run([analyze, "pitch", path], capture_output=True, text=True)
        if track.returncode != 0:
            continue   # the pitch command belongs to the analysis, tested there
        rows = [line.split(",") for line in track.stdout.splitlines()[1:] if "," in line]
        voiced = [float(row[1]) for row in rows if float(row[1]) > 0]
        check(len(voiced) > len(rows) // 2, f"{name}: mostly unvoiced pitch track")
        if not voiced:
            continue
        if isinstance(pitch, int):
            median = statistics.median(voiced)
            check(abs(median - pitch) <= 0.06 * pitch, f"{name}: median pitch {median}, page says {pitch}")
        elif pitch in ("rise", "fall"):
            third = max(1, len(voiced) // 3)
            start, end = statistics.median(voiced[:third]), statistics.median(voiced[-third:])
            check(end > start + 20 if pitch == "rise" else end < start - 20,
                  f"{name}: pitch goes from {start} to {end}, expected a {pitch}")

for failure in failures:
    print("FAIL:", failure)
print("checked", len(EXPECTED), "recordings,", len(failures), "failures")
sys.exit(1 if failures else 0)
