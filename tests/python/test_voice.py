"""sonavel.voice(), pulses() and harmonicity(): the command line's numbers
unrounded, None where nothing can be had, pickling, errors, and the
interpreter's lock let go while a report is made."""
import csv
import io
import math
import os
import pickle
import subprocess

import numpy as np
import pytest

import sonavel
from conftest import SITE_SOUNDS, analyze, lets_go_of_the_lock, make_voice, write_wav

VIEW_VOICE = os.environ.get("VIEW_VOICE", "view_voice")


@pytest.fixture(scope="module")
def vowel(tmp_path_factory):
    return make_voice(str(tmp_path_factory.mktemp("voice") / "vowel.wav"), 16000, 2.0, "0:140,2:160", jitter=0.01)


def command_row(path, *args):
    status, out, err = analyze("voice", path, *args)
    assert status == 0, err
    return next(csv.DictReader(io.StringIO(out)))


def test_values_are_the_command_lines_and_the_tracks_its_own(vowel):
    report = sonavel.voice(vowel, start=0.3, end=1.7, floor=100, ceiling=400)
    row = command_row(vowel, "--start", "0.3", "--end", "1.7", "--floor", "100", "--ceiling", "400")
    assert list(row)[1:] == list(report._fields) == list(report.to_dict())
    for name, value in report.to_dict().items():
        assert value is not None and float(row[name]) == pytest.approx(value, abs=5e-7), name
    assert isinstance(report.pulses, int) and report.f0_median_hz == pytest.approx(150, abs=10)
    times = sonavel.pulses(sonavel.load(vowel), start=0.3, end=1.7, floor=100, ceiling=400)
    assert times.dtype == np.float64 and len(times) == report.pulses and 0.3 <= times[0] < times[-1] <= 1.7
    h = sonavel.harmonicity(vowel, start=0.3, end=1.7, floor=100, ceiling=400)
    voiced = h.db[h.db > -200]
    assert h.time_s[0] >= 0.3 and len(voiced) > 100
    for value in (report, h):
        copy = pickle.loads(pickle.dumps(value))
        assert type(copy) is type(value) and all(np.array_equal(a, b) for a, b in zip(copy, value))


def test_silence_has_none_where_nothing_can_be_had_and_bad_settings_raise(tmp_path, vowel):
    quiet = sonavel.voice(write_wav(tmp_path / "quiet.wav", np.zeros(16000), 16000))
    assert quiet.pulses == 0 and quiet.jitter_local_pct is None and quiet.hnr_db is None
    assert quiet.to_dict()["shimmer_local_pct"] is None and len(sonavel.pulses(str(tmp_path / "quiet.wav"))) == 0
    for bad, words in ((dict(floor=700), "floor: "), (dict(start=0.5, end=0.5), "end: must lie after the start"),
                       (dict(start=-1), "start: "), (dict(start=5), "start: 5 s lies at or after the end")):
        with pytest.raises(ValueError, match=words):
            sonavel.voice(vowel, **bad)
    with pytest.raises(sonavel.SoundFileNotFoundError):
        sonavel.pulses(str(tmp_path / "none.wav"))


def test_other_threads_run_while_a_report_is_made(tmp_path):
    rate = 16000
    t = np.arange(rate * 20) / rate
    path = write_wav(tmp_path / "long.wav", 8000 * np.sin(2 * math.pi * 140 * t), rate)

    assert lets_go_of_the_lock(lambda: sonavel.voice(path))


def test_the_view_the_command_line_the_interval_table_and_python_give_the_same_numbers(tmp_path):
    path = os.path.join(SITE_SOUNDS, "rising.aif")  # a recording
    start, end = 0.2, 1.3
    report = sonavel.voice(path, start=start, end=end)
    row = command_row(path, "--start", str(start), "--end", str(end))
    grid = str(tmp_path / "rising.TextGrid")
    sonavel.write_textgrid(sonavel.TextGrid(0, 1.5, [sonavel.IntervalTier("v", 0, 1.5, [
        sonavel.Interval(0, start, ""), sonavel.Interval(start, end, "a"), sonavel.Interval(end, 1.5, "")])]), grid)
    status, out, err = analyze("measure", "--voice", "--textgrid", grid, path)
    assert status == 0, err
    interval = next(csv.DictReader(io.StringIO(out)))
    panel = subprocess.run([VIEW_VOICE, path, str(start), str(end)], capture_output=True, text=True, timeout=300,
                           check=True).stdout
    # The panel's values in the report's order, the unvoiced fraction in %.
    shown = [line.split(":", 1)[1].split()[0] for line in panel.splitlines()[3:] if line.startswith("   ")]
    values = list(report)[2:]
    assert len(shown) == len(values) == 20
    for name, value, text in zip(report._fields[2:], values, shown):
        assert value is not None, name
        assert float(row[name]) == pytest.approx(value, abs=5e-7), name
        if name in ("jitter_local_pct", "shimmer_local_pct", "hnr_db", "cpps_db"):
            assert interval[name] == row[name], name
        expected = "%d" % value if isinstance(value, int) else "%.3f" % (value * (100 if name == "unvoiced_fraction" else 1))
        assert text == expected, name
    assert report.jitter_local_pct < 3 and 10 < report.cpps_db < 40
