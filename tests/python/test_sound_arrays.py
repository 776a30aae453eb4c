"""A Sound made from numpy arrays: every analysis gives for it exactly what it
gives for a WAV file of the same samples; the scaling of floating point; spans
cut by time against sox and the command line; the tracks read at any time; the
spectral slice against known sines and vowels synthesised by Praat."""
import os
import shutil
import subprocess

import numpy as np
import pytest

import sonavel
from conftest import analyze, make_voice

RATE = 16000


@pytest.fixture(scope="module")
def voice(tmp_path_factory):
    return make_voice(str(tmp_path_factory.mktemp("arrays") / "voice.wav"), RATE, 1.2, "0:110,1.2:190")


def same(a, b):
    """Equal arrays, NaN where the other has NaN: bit for bit, not near."""
    a, b = np.asarray(a), np.asarray(b)
    return a.dtype == b.dtype and a.shape == b.shape and np.array_equal(a, b, equal_nan=a.dtype.kind == "f")


def sox_samples(path, *effects):
    done = subprocess.run(["sox", path, "-t", "raw", "-e", "signed", "-b", "16", "-c", "1", "-"] + list(effects),
                          capture_output=True, check=True, timeout=120)
    return np.frombuffer(done.stdout, dtype="<i2")


def test_every_analysis_of_an_array_equals_that_of_its_file(voice):
    on_file = sonavel.load(voice).samples
    as_int = sonavel.Sound(on_file.copy(), RATE)
    as_float = sonavel.Sound(on_file / 32768.0, RATE)
    assert same(as_float.samples, on_file) and same(as_int.values * 32768, on_file.astype(np.float64))
    for sound in (as_int, as_float):
        for a, b in zip(sonavel.pitch(voice), sonavel.pitch(sound)):
            assert same(a, b)
        for a, b in zip(sonavel.pitch(voice, tracker="amdf"), sonavel.pitch(sound, tracker="amdf")):
            assert same(a, b)
        f_file, f_array = sonavel.formants(voice), sonavel.formants(sound)
        assert all(same(a, b) for a, b in zip(f_file, f_array)) and f_file.max_formant_hz == f_array.max_formant_hz
        assert all(same(a, b) for a, b in zip(sonavel.intensity(voice), sonavel.intensity(sound)))
        s_file, s_array = sonavel.spectrum(voice, 0.6), sonavel.spectrum(sound, 0.6)
        assert all(same(a, b) for a, b in zip(s_file, s_array))
        assert same(s_file.lpc_peaks_hz, s_array.lpc_peaks_hz)


def test_floating_point_is_rounded_and_clipped_to_16_bits():
    x = np.array([-3.0, -1.0, -1.5 / 32768, -0.5 / 32768, 0.49 / 32768, 0.5 / 32768, 12345.5 / 32768, 1.0, 7.0])
    want = [-32768, -32768, -2, -1, 0, 1, 12346, 32767, 32767]
    for dtype in (np.float64, np.float32):
        assert sonavel.Sound(x.astype(dtype), 8000).samples.tolist() == want
    # Any integer type whose values fit, as they are.
    assert sonavel.Sound(np.array([-32768, 5, 32767], dtype=np.int64), 8000).samples.tolist() == [-32768, 5, 32767]
    assert sonavel.Sound([1, 2, 3], 8000).samples.tolist() == [1, 2, 3]


def test_what_cannot_be_a_sound_is_refused():
    for samples, rate, error in (
            (np.zeros((10, 2)), 8000, ValueError), (np.zeros(0), 8000, ValueError),
            (np.array([0.1, np.nan]), 8000, ValueError), (np.array([0.0, np.inf]), 8000, ValueError),
            (np.array([40000, 0], dtype=np.int32), 8000, ValueError), (np.zeros(4, dtype=bool), 8000, TypeError),
            (np.zeros(4, dtype=complex), 8000, TypeError), (["a", "b"], 8000, TypeError),
            (np.zeros(4), 0, ValueError), (np.zeros(4), 22050.5, ValueError), (np.zeros(4), "8000", TypeError),
            (np.zeros(4), 10 ** 30, ValueError)):
        with pytest.raises(error):
            sonavel.Sound(samples, rate)


def test_length_duration_values_and_pickling():
    import pickle
    samples = np.arange(-500, 500, dtype=np.int16)
    sound = sonavel.Sound(samples, 8000)
    assert len(sound) == 1000 and sound.duration == 1000 / 8000 and sound.path is None
    values = sound.values
    assert values.dtype == np.float64 and same(values, samples / 32768.0)
    values[:] = 0  # a copy: the Sound keeps its samples
    assert same(sound.samples, samples)
    again = pickle.loads(pickle.dumps(sound))
    assert same(again.samples, samples) and again.sample_rate == 8000
    assert repr(sound) == "<sonavel.Sound 1000 samples at 8000 Hz>"
    with pytest.raises(sonavel.SoundError, match="sonavel.Sound: 1 s lies past the sound's end"):
        sonavel.spectrum(sound, 1.0)


def test_spans_are_cut_as_sox_cuts_them(voice, tmp_path):
    if not shutil.which("sox"):
        pytest.skip("sox is not installed: the spans are not checked against it")
    sound = sonavel.load(voice)
    for start, end in ((0.0, 0.25), (0.1234567, 0.7654321), (0.50003, 5.0)):
        out = str(tmp_path / "span.wav")
        status, _, err = analyze("extract", voice, "--start", repr(start), "--end", repr(end), "-o", out)
        assert status == 0, err
        theirs = sox_samples(voice, "trim", repr(start), "=" + repr(min(end, sound.duration)))
        assert same(sox_samples(out), theirs) and len(theirs) > 0, (start, end)
        span = sound.extract(start, end)
        assert same(span.samples, theirs) and span.sample_rate == RATE
        span.save(str(tmp_path / "saved.wav"))
        assert same(sox_samples(str(tmp_path / "saved.wav")), theirs)
        assert subprocess.run(["sox", "--i", "-r", str(tmp_path / "saved.wav")], capture_output=True,
                              text=True).stdout.strip() == str(RATE)
    with pytest.raises(ValueError, match="holds no sample"):
        sound.extract(5.0, 6.0)
    with pytest.raises(TypeError):
        sound.extract(0.0, "1")
    with pytest.raises(sonavel.SoundFileNotFoundError):
        sound.save(str(tmp_path / "no folder" / "x.wav"))


def test_extract_refuses_its_own_input_and_an_empty_span(voice, tmp_path):
    before = open(voice, "rb").read()
    link = str(tmp_path / "link.wav")
    os.symlink(voice, link)
    for out in (voice, link):
        status, _, err = analyze("extract", voice, "--start", "0.1", "--end", "0.2", "-o", out)
        assert status == 1 and err, out
    status, _, err = analyze("extract", voice, "--start", "9", "--end", "10", "-o", str(tmp_path / "none.wav"))
    assert status == 1 and "holds no sample" in err and not os.path.exists(str(tmp_path / "none.wav"))
    assert open(voice, "rb").read() == before


def test_tracks_are_read_between_their_frames():
    t = np.array([0.01, 0.02, 0.03, 0.04, 0.05])
    track = sonavel.PitchTrack(t, np.array([100.0, 110.0, 0.0, 120.0, 130.0]), np.ones(5))
    assert track.at(0.015) == pytest.approx(105) and track.at(0.02) == 110 and track.at(0.0475) == pytest.approx(127.5)
    assert track.at(0.006) == 100 and track.at(0.054) == 130  # within half a frame of the ends
    assert all(np.isnan(track.at(x)) for x in (0.025, 0.03, 0.035, 0.0, 0.06, np.nan))
    assert track.at([0.015, 0.025]).shape == (2,)
    f = sonavel.Formants(t[:2], np.array([[500.0, 1500.0], [700.0, 0.0]]), np.full((2, 2), 80.0), 5000)
    assert f.at(0.015)[0] == pytest.approx(600) and np.isnan(f.at(0.015)[1]) and f.at([0.01, 0.02]).shape == (2, 2)
    i = sonavel.Intensity(t[:3], np.array([60.0, 70.0, -300.0]))
    assert i.at(0.015) == pytest.approx(65) and np.isnan(i.at(0.025))
    columns = f.to_dict()
    assert list(columns) == ["time_s", "f1_hz", "f2_hz", "b1_hz", "b2_hz"] and np.isnan(columns["f2_hz"][1])
    assert np.isnan(track.to_dict()["pitch_hz"][2]) and np.isnan(i.to_dict()["db"][2])


def test_a_real_track_reads_its_own_frames(voice):
    track = sonavel.pitch(voice)
    voiced = track.pitch_hz > 0
    assert voiced.sum() > 50
    assert same(track.at(track.time_s[voiced]), track.pitch_hz[voiced])
    columns = track.to_dict()
    assert {len(c) for c in columns.values()} == {len(track.time_s)}
    assert np.isnan(columns["pitch_hz"]).sum() == (~voiced).sum()


def test_the_slice_reads_known_sines_and_equals_the_command_line(tmp_path):
    n = np.arange(RATE)
    x = 0.3 * np.sin(2 * np.pi * 523.3 * n / RATE) + 0.05 * np.sin(2 * np.pi * 2718.2 * n / RATE)
    sound = sonavel.Sound(x, RATE)
    s = sonavel.spectrum(sound, 0.5, window=0.03)
    assert np.allclose(s.peaks_hz, [523.3, 2718.2], atol=0.5)
    level = 10 * np.log10(0.3 ** 2 / 2 / 4e-10)
    assert np.interp(523.3, s.frequency_hz, s.db) == pytest.approx(level, abs=0.3)
    path = str(tmp_path / "sines.wav")
    sound.save(path)
    status, text, err = analyze("spectrum", path, "--at", "0.5", "--window", "0.03", "--lpc")
    assert status == 0, err
    rows = [line.split(",") for line in text.splitlines()[1:]]
    assert len(rows) == len(s.frequency_hz)
    assert all(abs(float(r[1]) - d) <= 0.0005 for r, d in zip(rows, s.db))
    assert list(s.to_dict()) == ["frequency_hz", "db", "lpc_db"]
    with pytest.raises(ValueError, match="window"):
        sonavel.spectrum(sound, 0.5, window=2)


# Vowels of known formants, as Praat's KlattGrid makes them: (F1, F2, F3) Hz, f0.
KLATT_VOWELS = [((730, 1090, 2440), 110), ((270, 2290, 3010), 130), ((530, 1840, 2480), 210),
                ((570, 840, 2410), 230), ((850, 1220, 2810), 250)]


def klatt_vowel(path, formants, f0):
    script = path + ".praat"
    lines = ['Create KlattGrid: "v", 0, 0.5, 5, 0, 0, 0, 0, 0, 0',
             "Add pitch point: 0.25, %g" % f0, "Add voicing amplitude point: 0.25, 90"]
    for k, hz in enumerate(list(formants) + [3500, 4500], start=1):
        lines += ["Add oral formant frequency point: %d, 0.25, %g" % (k, hz),
                  "Add oral formant bandwidth point: %d, 0.25, %g" % (k, 60 + 0.05 * hz)]
    lines += ["To Sound", "Resample: 16000, 50", "Scale peak: 0.8", 'Save as WAV file: "%s"' % path]
    with open(script, "w") as f:
        f.write("\n".join(lines) + "\n")
    done = subprocess.run(["praat", "--run", script], capture_output=True, text=True, timeout=300,
                          env=dict(os.environ, HOME=os.path.dirname(path)))
    assert done.returncode == 0, done.stdout + done.stderr


def test_the_envelope_peaks_are_the_formants_of_vowels_praat_made(tmp_path):
    if not shutil.which("praat"):
        pytest.skip("praat is not installed: the KlattGrid vowels are not made")
    for formants, f0 in KLATT_VOWELS:
        path = str(tmp_path / ("v%d.wav" % formants[0]))
        klatt_vowel(path, formants, f0)
        peaks = sonavel.spectrum(path, 0.25).lpc_peaks_hz
        for truth in formants:
            nearest = peaks[np.argmin(abs(peaks - truth))]
            assert abs(nearest - truth) <= 0.06 * truth, (formants, f0, peaks)
