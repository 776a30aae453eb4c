"""TextGrids in Python and the per-interval table, against sonavel-analyze measure."""
import csv
import io
import math
import os
import pickle
import stat
import threading

import numpy
import pytest

import sonavel
from conftest import analyze, make_voice


def a_grid():
    return sonavel.TextGrid(0.0, 2.0, [
        sonavel.IntervalTier("vowel", 0.0, 2.0, [sonavel.Interval(0.0, 0.3, ""), sonavel.Interval(0.3, 0.9, "a, long"),
                                                 sonavel.Interval(0.9, 1.4, "é"), sonavel.Interval(1.4, 2.0, "")]),
        sonavel.PointTier("tone", 0.0, 2.0, [sonavel.Point(0.6, "H*"), sonavel.Point(1.7, "L%")]),
    ])


def test_a_grid_written_reads_back_equal_and_pickles(tmp_path):
    path = tmp_path / "take.TextGrid"
    sonavel.write_textgrid(a_grid(), path)
    back = sonavel.read_textgrid(str(path))
    assert back == a_grid()
    assert pickle.loads(pickle.dumps(back)) == back
    with pytest.raises(ValueError, match="vowel"):
        sonavel.write_textgrid(sonavel.TextGrid(0.0, 1.0, [sonavel.IntervalTier(
            "vowel", 0.0, 1.0, [sonavel.Interval(0.5, 0.2, "x")])]), tmp_path / "bad.TextGrid")
    assert not (tmp_path / "bad.TextGrid").exists()


def test_a_broken_file_raises_value_error_with_its_line(tmp_path):
    path = tmp_path / "broken.TextGrid"
    sonavel.write_textgrid(a_grid(), path)
    lines = path.read_text().splitlines()
    lines[13] = "        xmin = oops"
    path.write_text("\n".join(lines) + "\n")
    with pytest.raises(ValueError) as raised:
        sonavel.read_textgrid(path)
    assert str(raised.value).startswith(str(path) + ":")
    assert analyze("measure", str(tmp_path / "x.wav"), "--textgrid", str(path))[0] == 1
    with pytest.raises(OSError):
        sonavel.read_textgrid(tmp_path / "missing.TextGrid")


def test_measure_equals_the_command_line(tmp_path):
    wav = make_voice(str(tmp_path / "take.wav"), 16000, 2, "0:120,1:220,2:150")
    sonavel.write_textgrid(a_grid(), tmp_path / "take.TextGrid")
    status, out, err = analyze("measure", "take.wav", cwd=str(tmp_path))
    assert status == 0, err
    rows = list(csv.DictReader(io.StringIO(out)))
    columns = sonavel.measure(wav, str(tmp_path / "take.TextGrid"))
    assert list(columns) == list(rows[0])
    assert columns["label"] == [row["label"] for row in rows] == ["a, long", "é", "H*", "L%"]
    assert columns["tier"] == ["vowel", "vowel", "tone", "tone"]
    formats = {"start_s": "%.6f", "end_s": "%.6f", "duration_s": "%.6f", "intensity_db": "%.2f"}
    for name in list(columns)[3:]:
        text = ["" if math.isnan(v) else formats.get(name, "%.1f") % v for v in columns[name].tolist()]
        assert text == [row[name] for row in rows], name
    # The same from a Sound and a TextGrid value, and one tier by name.
    again = sonavel.measure(sonavel.load(wav), a_grid(), tier="tone")
    assert again["label"] == ["H*", "L%"]
    assert again["f0_mean_hz"].tolist() == columns["f0_mean_hz"][2:].tolist()
    with pytest.raises(ValueError, match="word"):
        sonavel.measure(wav, a_grid(), tier="word")


def test_a_fifo_is_written_into_and_never_waited_on_when_read(tmp_path):
    fifo = tmp_path / "grid.TextGrid"
    os.mkfifo(fifo)
    with pytest.raises(OSError, match="is a FIFO, not a file"):
        sonavel.read_textgrid(fifo)
    got = []
    reader = threading.Thread(target=lambda: got.append(fifo.read_bytes()))
    reader.start()
    sonavel.write_textgrid(a_grid(), fifo)
    reader.join()
    assert stat.S_ISFIFO(os.lstat(fifo).st_mode)
    (tmp_path / "copy.TextGrid").write_bytes(got[0])
    assert sonavel.read_textgrid(tmp_path / "copy.TextGrid") == a_grid()


def test_wrong_types_raise_type_error_and_impossible_grids_value_error(tmp_path):
    wav = make_voice(str(tmp_path / "take.wav"), 16000, 1, "0:120,1:150")

    def with_interval(start, end, label="x"):
        return sonavel.TextGrid(0.0, 1.0, [sonavel.IntervalTier("t", 0.0, 1.0, [
            sonavel.Interval(0.0, start, ""), sonavel.Interval(start, end, label), sonavel.Interval(end, 1.0, "")])])

    for start in ["0.2", None, numpy.array([0.1, 0.2]), b"0.2"]:
        with pytest.raises(TypeError, match="must be a number of seconds"):
            sonavel.write_textgrid(with_interval(start, 0.6), tmp_path / "t.TextGrid")
        with pytest.raises(TypeError, match="must be a number of seconds"):
            sonavel.measure(wav, with_interval(start, 0.6))
    for wrong in [sonavel.TextGrid(0.0, 1.0, [sonavel.IntervalTier("t", 0.0, 1.0, [(0.0, 1.0)])]), (0.0, 1.0), 5]:
        with pytest.raises(TypeError):
            sonavel.write_textgrid(wrong, tmp_path / "t.TextGrid")
    # Numbers of any kind numpy gives are times.
    sonavel.write_textgrid(with_interval(numpy.float32(0.25), numpy.int64(1) / 2), tmp_path / "t.TextGrid")
    # Backwards, overlapping, NaN: measured as written, that is never.
    for grid in [with_interval(0.6, 0.2), with_interval(0.2, math.nan),
                 sonavel.TextGrid(0.0, 1.0, [sonavel.IntervalTier("t", 0.0, 1.0, [
                     sonavel.Interval(0.0, 0.6, "a"), sonavel.Interval(0.4, 1.0, "b")])])]:
        with pytest.raises(ValueError, match="tier 1"):
            sonavel.measure(wav, grid)
        with pytest.raises(ValueError, match="tier 1"):
            sonavel.write_textgrid(grid, tmp_path / "t.TextGrid")
    # A carriage return would come back as a line break: refused, the file kept.
    before = (tmp_path / "t.TextGrid").read_bytes()
    for label in ["a\r\nb", "a\rb"]:
        with pytest.raises(ValueError, match="carriage return"):
            sonavel.write_textgrid(with_interval(0.2, 0.6, label), tmp_path / "t.TextGrid")
    assert (tmp_path / "t.TextGrid").read_bytes() == before
