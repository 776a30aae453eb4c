"""Shared helpers of the Python module's tests: the command line as the oracle,
and the sounds it is compared on (the site's recordings, the synthetic voices
whose tracks tests/player/analyze keeps, the hostile corpus)."""
import os
import subprocess
import sys
import threading
import wave

import numpy as np
import pytest

ANALYZE = os.environ.get("SONAVEL_ANALYZE", "sonavel-analyze")
VOICESYNTH = os.environ.get("VOICESYNTH", "voicesynth")
SOURCE = os.environ.get("SONAVEL_SOURCE", os.path.join(os.path.dirname(__file__), "..", ".."))
SITE_SOUNDS = os.path.join(SOURCE, "site", "Korvath", "sounds")
HOSTILE = [os.path.join(SOURCE, "tests", "fuzz", "corpus", d) for d in ("audio", "pitch", "extended")]


def analyze(*args, cwd=None):
    """sonavel-analyze's (status, stdout, stderr)."""
    done = subprocess.run([ANALYZE] + list(args), capture_output=True, text=True, cwd=cwd,
                          errors="surrogateescape", timeout=600)
    return done.returncode, done.stdout, done.stderr


def error_lines(stderr):
    """The command line's error lines without its name."""
    prefix = "sonavel-analyze: "
    return [line[len(prefix):] for line in stderr.splitlines() if line.startswith(prefix)]


def csv_of(track, tracker="nccf"):
    """A PitchTrack as the pitch command writes it for that tracker."""
    if tracker == "amdf":
        return "time_s,pitch_hz\n" + "".join("%.6f,%d\n" % row for row in zip(track.time_s.tolist(),
                                                                              track.pitch_hz.tolist()))
    return "time_s,pitch_hz,confidence\n" + "".join("%.6f,%.3f,%.3f\n" % row
                                                    for row in zip(*(column.tolist() for column in track)))


def make_voice(path, rate, seconds, contour, jitter=0.01, peak=0.6, seed=1):
    subprocess.run([VOICESYNTH, path, "--rate", str(rate), "--seconds", str(seconds), "--contour", contour,
                    "--jitter", str(jitter), "--peak", str(peak), "--seed", str(seed)], check=True, timeout=300)
    return path


def lets_go_of_the_lock(work):
    """Whether work(), run on a thread of its own, lets other threads run while
    it works. With a switch interval this long the interpreter never takes the
    lock from a thread that holds it: this thread runs only when the worker
    lets go of it, so it sees the work unfinished only if work() does. A
    machine too busy to wake this thread within the work's time sees it
    finished either way, so a few tries are allowed."""
    def try_once():
        finished, entered = [False], threading.Event()

        def run():
            entered.set()
            work()
            finished[0] = True

        worker = threading.Thread(target=run)
        worker.start()
        assert entered.wait(timeout=60)
        seen = finished[0]
        worker.join(timeout=300)
        return not seen

    interval = sys.getswitchinterval()
    sys.setswitchinterval(1000.0)
    try:
        return any(try_once() for _ in range(5))
    finally:
        sys.setswitchinterval(interval)


def write_wav(path, samples, rate):
    """A mono 16-bit WAV through Python's own writer, not ours."""
    with wave.open(str(path), "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(rate)
        out.writeframes(np.asarray(samples, dtype="<i2").tobytes())
    return str(path)


def site_sounds():
    return sorted(os.path.join(SITE_SOUNDS, f) for f in os.listdir(SITE_SOUNDS))


def hostile_files():
    return sorted(os.path.join(d, f) for d in HOSTILE for f in os.listdir(d))


@pytest.fixture(scope="session")
def voices(tmp_path_factory):
    """The synthetic voices of tests/player/analyze/tracks/voices.txt, as WAV files."""
    folder = tmp_path_factory.mktemp("voices")
    made = []
    with open(os.path.join(SOURCE, "tests", "player", "analyze", "tracks", "voices.txt")) as listing:
        for line in listing:
            if line.strip() and not line.startswith("#"):
                name, rate, seconds, contour, jitter, peak, seed = line.split()
                made.append(make_voice(str(folder / (name + ".wav")), rate, seconds, contour, jitter, peak, seed))
    return made
