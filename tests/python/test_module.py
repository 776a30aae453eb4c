"""The sonavel module against the command line it shares its code with, on the
site's recordings, the synthetic voices and the hostile corpus; its arrays,
errors, interpreter lock, pickling and stubs."""
import ast
import errno
import math
import multiprocessing
import os
import pickle
import subprocess
import sys
import threading

import numpy as np
import pytest
from scipy.io import wavfile

import sonavel
from conftest import (SOURCE, analyze, csv_of, error_lines, hostile_files, lets_go_of_the_lock, site_sounds,
                      write_wav)


def test_samples_rate_and_track_equal_the_command_line(voices, tmp_path):
    raw = str(tmp_path / "out.raw")
    for path in site_sounds() + voices:
        sound = sonavel.load(path)
        status, info, _ = analyze("info", path)
        assert status == 0
        assert info.startswith("reader=%s rate=%d samples=%d " % (sound.reader, sound.sample_rate,
                                                                  len(sound.samples))), path
        assert analyze("samples", path, "-o", raw)[0] == 0
        assert np.array_equal(sound.samples, np.fromfile(raw, dtype="<i2")), path
        assert sound.duration == pytest.approx(len(sound.samples) / sound.sample_rate)

        for tracker, options in (("nccf", {}), ("amdf", {}), ("nccf", {"floor": 60, "ceiling": 400, "step": 0.005}),
                                 ("amdf", {"floor": 60, "ceiling": 400})):
            args = ["--tracker", tracker] + ["--%s=%g" % item for item in options.items()]
            status, want, _ = analyze("pitch", *args, path)
            assert status == 0
            track = sonavel.pitch(path, tracker=tracker, **options)
            assert type(track) is sonavel.PitchTrack and all(column.dtype == np.float64 for column in track)
            assert csv_of(track, tracker) == want, (path, args)
            again = sonavel.pitch(sound, tracker=tracker, threads=1, **options)
            assert all(np.array_equal(a, b) for a, b in zip(again, track)), (path, args)
        assert set(track.confidence.tolist()) <= {0.0, 1.0}  # the AMDF's: voiced or not


def test_refused_settings_name_the_argument_as_the_command_line_names_the_option(tmp_path):
    missing = str(tmp_path / "missing.wav")  # refused before the file is looked for
    for options in ({"tracker": "yin"}, {"floor": 15}, {"floor": 300, "ceiling": 200},
                    {"tracker": "amdf", "ceiling": 2000}, {"tracker": "amdf", "floor": 72.5},
                    {"tracker": "amdf", "step": 0.01}, {"step": 2}):
        with pytest.raises(ValueError) as raised:
            sonavel.pitch(missing, **options)
        status, _, err = analyze("pitch", *["--%s=%s" % item for item in options.items()], missing)
        assert status == 2 and error_lines(err) == ["--" + str(raised.value)], options
    with pytest.raises(ValueError, match="^floor: "):
        sonavel.pitch(missing, floor=0)
    with pytest.raises(TypeError):
        sonavel.pitch(missing, floor="75")


def test_hostile_files_load_or_raise_the_command_lines_error():
    files = hostile_files()
    assert len(files) > 50
    _, out, err = analyze("info", *files)
    loaded = dict(line.split(": reader=", 1) for line in out.splitlines())
    errors = set(error_lines(err))
    for path in files:
        try:
            sound = sonavel.load(path)
        except sonavel.SoundError as error:
            assert isinstance(error, OSError)
            assert str(error) in errors, path
            assert path not in loaded
        else:
            assert loaded[path].startswith("%s rate=%d samples=%d " % (sound.reader, sound.sample_rate,
                                                                      len(sound.samples))), path
            assert sound.sample_rate > 0
            if len(sound.samples) > 10 ** 7:
                continue  # a fixed header's claimed 2 GB: seconds of tracking zeros, nothing new
            try:
                sonavel.pitch(sound)
            except sonavel.SoundError as error:  # a rate the research tracker's range does not fit
                assert "sample rate" in str(error), path
            sonavel.analysis_window_grid(sound, 100, 100)
            try:
                sonavel.spectrogram(sound, time_step=0.05)
            except ValueError:  # no 5 ms window of 4 samples or 100 Hz top at this rate
                assert sound.sample_rate < 800, path


def test_unreadable_paths_and_bad_arguments(tmp_path):
    missing = str(tmp_path / "missing.wav")
    with pytest.raises(sonavel.SoundError, match="^cannot open %s: No such file or directory$" % missing) as raised:
        sonavel.load(missing)
    assert analyze("info", missing)[2] == "sonavel-analyze: cannot open %s: No such file or directory\n" % missing
    # An OSError's fields, and the class a missing file has everywhere else.
    assert isinstance(raised.value, FileNotFoundError)
    assert (raised.value.errno, raised.value.strerror, raised.value.filename) == (errno.ENOENT, os.strerror(errno.ENOENT),
                                                                                  missing)
    with pytest.raises(sonavel.SoundError, match="is a directory") as raised:
        sonavel.pitch(tmp_path)
    assert (raised.value.errno, raised.value.filename) == (errno.EISDIR, str(tmp_path))
    with pytest.raises(sonavel.SoundError, match="^cannot read /proc/self/mem: ") as raised:  # EIO at address 0
        sonavel.load("/proc/self/mem")
    assert raised.value.errno == errno.EIO and not isinstance(raised.value, FileNotFoundError)
    with pytest.raises(sonavel.SoundError) as raised:  # a name that is not UTF-8 keeps its bytes
        sonavel.load(os.fsencode(missing) + b"\xff")
    assert os.fsencode(str(raised.value)).endswith(b"\xff: No such file or directory")
    with pytest.raises(ValueError, match="null byte"):
        sonavel.load(str(tmp_path) + "/\0.wav")
    sound = sonavel.load(site_sounds()[0])
    for call in (lambda: sonavel.load(3), lambda: sonavel.pitch(None), lambda: sonavel.spectrogram([1, 2]),
                 lambda: sonavel.analysis_window_grid([1, 2])):
        with pytest.raises(TypeError):
            call()
    for call in (lambda: sonavel.pitch(sound, threads=-1), lambda: sonavel.analysis_window_grid(sound, 0),
                 lambda: sonavel.analysis_window_grid(sound, 3001), lambda: sonavel.analysis_window_grid(sound, 487, 60)):
        with pytest.raises(ValueError):
            call()
    # A grid past 1 GiB is refused before anything, the sound's loading included.
    with pytest.raises(ValueError, match="more than the 1024 MiB"):
        sonavel.analysis_window_grid(missing, 3000, 100000)
    for name, value in (("window_length", 0.5), ("max_frequency", 50), ("time_step", 0), ("dynamic_range", 5)):
        with pytest.raises(ValueError, match="^%s: " % name):
            sonavel.spectrogram(missing, **{name: value})
    # Ten minutes at a tenth of a millisecond by 100 ms windows: 6 million columns of 1025 values.
    state = ("ten.wav", "wave", 8000, bytes(2 * 8000 * 600))
    ten_minutes = sonavel.Sound.__new__(sonavel.Sound)
    ten_minutes.__setstate__(state)
    with pytest.raises(ValueError, match="more than the 1024 MiB .*a longer time_step"):
        sonavel.spectrogram(ten_minutes, window_length=0.1, time_step=0.0001)


def test_any_channel_loads_as_scipy_reads_it(tmp_path):
    rate = 16000
    t = np.arange(rate) / rate
    for channels in (2, 4):
        frames = np.stack([8000 * np.sin(2 * math.pi * (440 + 220 * k) * t) for k in range(channels)], axis=1)
        path = str(tmp_path / ("c%d.wav" % channels))
        wavfile.write(path, rate, frames.astype("<i2"))
        _, theirs = wavfile.read(path)
        for channel in range(1, channels + 1):
            sound = sonavel.load(path, channel=channel)
            assert (sound.channels, sound.channel) == (channels, channel)
            assert np.array_equal(sound.samples, theirs[:, channel - 1]), (channels, channel)
            back = pickle.loads(pickle.dumps(sound))
            assert (back.channels, back.channel) == (channels, channel)
            assert np.array_equal(back.samples, sound.samples)
        assert np.array_equal(sonavel.load(path).samples, theirs[:, 0])
        with pytest.raises(sonavel.SoundError) as raised:
            sonavel.load(path, channel=channels + 1)
        assert [str(raised.value)] == error_lines(analyze("samples", path, "-o", str(tmp_path / "x.raw"),
                                                          "--channel", str(channels + 1))[2])
    # The right channel's 660 Hz, from the path and from the Sound, as the command line tracks it.
    track = sonavel.pitch(path, channel=2)
    assert np.median(track.pitch_hz[track.pitch_hz > 0]) == pytest.approx(660, abs=3)
    assert csv_of(track) == analyze("pitch", "--channel", "2", path)[1]
    sound = sonavel.load(path, channel=2)
    assert np.array_equal(sonavel.pitch(sound).pitch_hz, track.pitch_hz)
    with pytest.raises(ValueError, match="this Sound holds channel 2"):
        sonavel.pitch(sound, channel=3)
    assert np.array_equal(sonavel.spectrogram(path, channel=2).db, sonavel.spectrogram(sound).db)
    with pytest.raises(ValueError):
        sonavel.load(path, channel=0)
    # A state pickled before channels were kept holds the first of one.
    old = sonavel.Sound.__new__(sonavel.Sound)
    old.__setstate__(sound.__getstate__()[:4])
    assert (old.channels, old.channel) == (1, 1)


def test_samples_are_a_read_only_view_that_outlives_the_sound():
    sound = sonavel.load(os.path.join(SOURCE, "site", "Korvath", "sounds", "vowel-a.wav"))
    first, second = sound.samples, sound.samples
    assert first.ndim == 1 and first.dtype == np.int16 and not first.flags.writeable
    assert np.shares_memory(first, second)
    with pytest.raises(ValueError):
        first[0] = 1
    copy = first.copy()
    del sound, second
    assert np.array_equal(first, copy)


def test_analysis_window_grid_rows_rise_from_0_hz(tmp_path):
    rate = 11025
    t = np.arange(rate) / rate
    tone = write_wav(tmp_path / "tone.wav", 12000 * np.sin(2 * math.pi * 4000 * t), rate)
    grid = sonavel.analysis_window_grid(tone)
    assert grid.shape == (284 - 60, 487) and grid.dtype == np.float64
    assert grid.min() >= 0 and grid.max() == 35
    # 4000 Hz on a 0..5000 Hz scale: four fifths of the way up.
    assert abs(int(np.argmax(grid[:, 200])) - 0.8 * grid.shape[0]) <= 8
    silent = sonavel.analysis_window_grid(write_wav(tmp_path / "silence.wav", np.zeros(rate), rate), 100, 160)
    assert silent.shape == (100, 100) and np.all(silent == 35)


def test_spectrogram_is_the_measuring_views_own(tmp_path):
    rate = 16000
    t = np.arange(int(rate * 1.3)) / rate
    # 1 kHz at half scale for the first half, 3 kHz at a hundredth for the rest.
    samples = np.where(t < 0.65, 16384 * np.sin(2 * math.pi * 1000 * t), 328 * np.sin(2 * math.pi * 3000 * t))
    path = write_wav(tmp_path / "tones.wav", samples, rate)
    for settings in ((0.005, 5000.0, 0.002, 50.0), (0.03, 9000.0, 0.0013, 70.0)):
        spectrum = sonavel.spectrogram(path, **dict(zip(("window_length", "max_frequency", "time_step",
                                                         "dynamic_range"), settings)), threads=3)
        done = subprocess.run([os.environ["VIEW_COLUMNS"], path] + ["%r" % v for v in settings], capture_output=True,
                              check=True)
        head, body = done.stdout.split(b"\n", 1)
        columns, bins = map(int, head.split())
        assert spectrum.db.dtype == np.float32 and spectrum.db.shape == (bins, columns)
        assert np.array_equal(spectrum.db, np.frombuffer(body, dtype=np.float32).reshape(columns, bins).T), settings
        assert np.allclose(spectrum.time_s, np.arange(columns) * settings[2])
        assert spectrum.frequency_hz[0] == 0 and spectrum.frequency_hz[-1] <= min(settings[1], rate / 2)
    # The levels a reader expects: a half-scale sine near -6 dB at its frequency, and
    # nothing further than the dynamic range below the loudest.
    db, time_s, frequency_hz = spectrum
    column = int(np.searchsorted(time_s, 0.3))
    assert abs(frequency_hz[np.argmax(db[:, column])] - 1000) < 2 * frequency_hz[1]
    assert db.max() == pytest.approx(-6.02, abs=0.5) and db.min() == pytest.approx(db.max() - 70, abs=1e-4)


def test_other_threads_run_while_a_sound_is_tracked(tmp_path):
    rate = 44100
    t = np.arange(rate * 20) / rate
    path = write_wav(tmp_path / "voice.wav", 8000 * np.sin(2 * math.pi * 140 * t) * (1 + np.sin(t)), rate)
    assert lets_go_of_the_lock(lambda: sonavel.pitch(path, threads=1))

    # Two loads and tracks at once give what one alone gives.
    path = site_sounds()[-1]
    results = [None, None]
    pair = [threading.Thread(target=lambda i=i: results.__setitem__(i, sonavel.pitch(path)[1])) for i in (0, 1)]
    for thread in pair:
        thread.start()
    for thread in pair:
        thread.join(timeout=300)
    assert np.array_equal(results[0], sonavel.pitch(path)[1]) and np.array_equal(results[1], results[0])


def test_sounds_tracks_and_errors_pickle():
    sound = sonavel.load(site_sounds()[0])
    back = pickle.loads(pickle.dumps(sound))
    assert (back.path, back.reader, back.sample_rate) == (sound.path, sound.reader, sound.sample_rate)
    assert np.array_equal(back.samples, sound.samples) and not np.shares_memory(back.samples, sound.samples)
    track = pickle.loads(pickle.dumps(sonavel.pitch(sound)))
    assert type(track) is sonavel.PitchTrack and np.array_equal(track.pitch_hz, sonavel.pitch(back).pitch_hz)
    assert type(pickle.loads(pickle.dumps(sonavel.spectrogram(sound)))) is sonavel.Spectrogram
    error = pickle.loads(pickle.dumps(sonavel.SoundError("x.wav: broken")))
    assert type(error) is sonavel.SoundError and str(error) == "x.wav: broken"
    error = pickle.loads(pickle.dumps(sonavel.SoundFileNotFoundError("cannot open x.wav: gone", errno.ENOENT, "x.wav")))
    assert (type(error), str(error), error.errno, error.filename) == (sonavel.SoundFileNotFoundError,
                                                                      "cannot open x.wav: gone", errno.ENOENT, "x.wav")
    # The functions pickle by name, so a worker process finds them.
    assert pickle.loads(pickle.dumps(sonavel.pitch)) is sonavel.pitch


def test_every_pickle_protocol_works_and_no_type_made_from_python_ends_the_interpreter():
    # In a process of its own: an abort fails this test, not the whole run.
    script = """if True:
        import pickle, sys
        import numpy as np
        import sonavel
        sound = sonavel.load(sys.argv[1], channel=1)
        for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
            back = pickle.loads(pickle.dumps(sound, protocol))
            assert (back.path, back.sample_rate, back.channels) == (sound.path, sound.sample_rate, sound.channels)
            assert np.array_equal(back.samples, sound.samples), protocol
        # pybind11's base of the Sound, a class derived from it, and one made by their metaclass.
        base = type(sound).__mro__[1]
        derived = type("Derived", (base,), {})
        for make in (base, lambda: base.__new__(base), derived, lambda: sonavel.Sound.__new__(derived),
                     lambda: type(base)("Made", (base,), {})()):
            try:
                make()
            except TypeError:
                continue
            sys.exit("made an object of no class of the module")
        """
    done = subprocess.run([sys.executable, "-c", script, site_sounds()[0]], capture_output=True, text=True, timeout=120)
    assert (done.returncode, done.stderr) == (0, "")


def test_a_sound_without_contents_raises_on_every_use():
    # Protocol 2: GLOBAL sonavel.Sound, an empty tuple, NEWOBJ, and no BUILD.
    for empty in (pickle.loads(b"\x80\x02csonavel\nSound\nq\x00)\x81q\x01."), sonavel.Sound.__new__(sonavel.Sound)):
        for use in (repr, pickle.dumps, sonavel.pitch, sonavel.spectrogram, sonavel.analysis_window_grid, lambda s: s.samples,
                    lambda s: s.sample_rate, lambda s: s.duration, lambda s: s.path, lambda s: s.reader):
            with pytest.raises(ValueError, match="holds no sound"):
                use(empty)
    with pytest.raises(TypeError):
        sonavel.Sound()
    # A state without a rate would make a Sound without a time axis.
    state = sonavel.load(site_sounds()[0]).__getstate__()
    with pytest.raises(ValueError, match="positive sample rate"):
        sonavel.Sound.__new__(sonavel.Sound).__setstate__(state[:2] + (0,) + state[3:])
    with pytest.raises(TypeError, match="state holds"):
        sonavel.Sound.__new__(sonavel.Sound).__setstate__(state[:2] + ("fast",) + state[3:])


def test_daemon_threads_inside_the_module_let_the_program_end_with_its_status(tmp_path):
    rate = 44100
    long_path = write_wav(tmp_path / "long.wav", 8000 * np.sin(2 * math.pi * 140 * np.arange(rate * 300) / rate), rate)
    # No call before the threads start: their first calls meet at once, too.
    script = """if True:
        import sys, threading, sonavel
        path = sys.argv[1]
        calls = [lambda: sonavel.load(path), lambda: sonavel.pitch(path, threads=1),
                 lambda: sonavel.spectrogram(path, time_step=0.05, threads=1)]
        started = [threading.Event() for _ in calls * 2]

        def loop(call, event):
            event.set()
            while True:
                call()

        for call, event in zip(calls * 2, started):
            threading.Thread(target=loop, args=(call, event), daemon=True).start()
        for event in started:
            event.wait()
        sys.exit(3)
        """
    for _ in range(5):
        done = subprocess.run([sys.executable, "-c", script, long_path], capture_output=True, text=True, timeout=120)
        assert (done.returncode, done.stderr) == (3, "")


def test_a_pool_of_processes_maps_the_functions_by_name(voices):
    files = site_sounds()[:3] + voices[:3]
    with multiprocessing.Pool(2) as pool:
        tracks = pool.map(sonavel.pitch, files)
    for path, track in zip(files, tracks):
        assert csv_of(track) == analyze("pitch", path)[1], path


def test_version_stubs_and_documents_name_what_the_package_has(tmp_path):
    assert analyze("--version")[1].split()[-1] == sonavel.__version__
    with open(os.path.join(SOURCE, "python", "sonavel", "__init__.pyi")) as stub_file:
        stub_text = stub_file.read()
    stubs = ast.parse(stub_text)
    stubbed = {node.name for node in stubs.body if isinstance(node, (ast.FunctionDef, ast.ClassDef))}
    assert stubbed == set(sonavel.__all__) == {name for name in dir(sonavel) if not name[0] == "_"}
    assert all(getattr(sonavel, name).__doc__ for name in sonavel.__all__)
    # The reader table's formats, as the command line lists them, and every reader's name.
    (tmp_path / "x.txt").write_text("text")
    formats = analyze("info", str(tmp_path / "x.txt"))[2].split("(", 1)[1].rstrip(")\n")
    assert len(formats.split(", ")) > 10
    for text in (sonavel.__doc__, sonavel.load.__doc__, stub_text):
        assert formats in " ".join(text.split())
    assert sonavel.Sound.reader.__doc__.startswith("The reader that took the file: wave (WAV), aiff (AIFF/AIFC), ")
    for text in (sonavel.Sound.reader.__doc__, stub_text):
        assert all(name in text for name in ("wave", "aiff", "au", "fixed-le", "fixed-be", "sndfile"))
