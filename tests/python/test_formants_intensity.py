"""sonavel.formants() and sonavel.intensity() against the command line that
shares their code: the same values on a synthetic voice (from the file, from a
loaded Sound, from another channel) and the same refusals."""
import json

import numpy as np
import pytest

import sonavel
from conftest import analyze, error_lines, make_voice


def formants_csv(f):
    count = f.frequency_hz.shape[1]
    head = "time_s," + ",".join(["f%d_hz" % j for j in range(1, count + 1)] + ["b%d_hz" % j for j in range(1, count + 1)])
    rows = ("%.6f," % t + ",".join("%.1f" % v for v in list(hz) + list(bw))
            for t, hz, bw in zip(f.time_s.tolist(), f.frequency_hz.tolist(), f.bandwidth_hz.tolist()))
    return head + "\n" + "".join(row + "\n" for row in rows)


def intensity_csv(i):
    return "time_s,intensity_db\n" + "".join("%.6f,%.3f\n" % row for row in zip(i.time_s.tolist(), i.db.tolist()))


@pytest.fixture(scope="module")
def voice(tmp_path_factory):
    return make_voice(str(tmp_path_factory.mktemp("voice") / "voice.wav"), 16000, 1.0, "0:110,1:150")


def test_values_equal_the_command_line(voice):
    sound = sonavel.load(voice)
    for options in ({}, {"count": 3, "step": 0.005}, {"max_formant": 5500, "count": 4}):
        args = ["--%s=%g" % (name.replace("_", "-"), value) for name, value in options.items()]
        status, want, err = analyze("formants", *args, voice)
        assert status == 0, err
        got = sonavel.formants(voice, **options)
        assert type(got) is sonavel.Formants and all(column.dtype == np.float64 for column in got)
        assert got.frequency_hz.shape == got.bandwidth_hz.shape == (len(got.time_s), options.get("count", 5))
        assert formants_csv(got) == want, options
        again = sonavel.formants(sound, **options)
        assert all(np.array_equal(a, b) for a, b in zip(again, got)), options
    for options in ({}, {"floor": 60, "step": 0.02}):
        status, want, err = analyze("intensity", *["--%s=%g" % item for item in options.items()], voice)
        assert status == 0, err
        got = sonavel.intensity(sound, **options)
        assert type(got) is sonavel.Intensity and intensity_csv(got) == want, options
    # The times are pitch's at the same step.
    assert np.array_equal(sonavel.pitch(voice, step=0.02).time_s, got.time_s)
    status, text, _ = analyze("formants", "--format", "json", "--count", "2", voice)
    data = json.loads(text)
    assert status == 0 and list(data) == ["file", "sample_rate", "time_s", "max_formant_hz", "frequency_hz",
                                          "bandwidth_hz"]
    assert np.allclose(data["frequency_hz"], sonavel.formants(voice, count=2).frequency_hz, atol=0.05)


def test_the_ceiling_found_or_given_is_reported(voice):
    import pickle
    found = sonavel.formants(voice)
    assert 4500 <= found.max_formant_hz <= 7000  # the ceilings tried for a voice
    status, text, _ = analyze("formants", "--format", "json", voice)
    assert status == 0 and json.loads(text)["max_formant_hz"] == found.max_formant_hz
    assert sonavel.formants(voice, max_formant=6000).max_formant_hz == 6000
    time_s, frequency_hz, bandwidth_hz = found  # still three arrays to unpack
    again = pickle.loads(pickle.dumps(found))
    assert again.max_formant_hz == found.max_formant_hz and np.array_equal(again.frequency_hz, frequency_hz)


def test_another_channel_is_read_as_the_command_line_reads_it(voice, tmp_path):
    from scipy.io import wavfile
    rate, samples = wavfile.read(voice)
    stereo = str(tmp_path / "stereo.wav")
    wavfile.write(stereo, rate, np.stack([samples // 4, samples], axis=1))
    right = sonavel.intensity(stereo, channel=2)
    assert np.array_equal(right.db, sonavel.intensity(voice).db)
    assert intensity_csv(sonavel.intensity(stereo, channel=1)) == analyze("intensity", "--channel", "1", stereo)[1]
    with pytest.raises(sonavel.SoundError, match="channel"):
        sonavel.formants(stereo, channel=3)


def test_refused_settings_name_the_argument_as_the_command_line_names_the_option(voice, tmp_path):
    missing = str(tmp_path / "missing.wav")  # refused before the file is looked for
    for function, options in (("formants", {"count": 0}), ("formants", {"count": 7}),
                              ("formants", {"max_formant": 999}), ("formants", {"step": 0.0005}),
                              ("intensity", {"floor": 24}), ("intensity", {"floor": 1001}),
                              ("intensity", {"step": 2})):
        with pytest.raises(ValueError) as raised:
            getattr(sonavel, function)(missing, **options)
        args = ["--%s=%s" % (name.replace("_", "-"), value) for name, value in options.items()]
        status, _, err = analyze(function, *args, missing)
        option = str(raised.value).replace("max_formant", "max-formant")
        assert status == 2 and error_lines(err) == ["--" + option], (function, options)
    with pytest.raises(TypeError):
        sonavel.formants(missing, max_formant="5000")
    # Half the rate is known once the file is read.
    with pytest.raises(ValueError, match="^max_formant: must be at most half the sample rate, 8000 Hz"):
        sonavel.formants(voice, max_formant=9000)
    status, _, err = analyze("formants", "--max-formant", "9000", voice)
    assert status == 1 and error_lines(err) == [voice + ": --max-formant: must be at most half the sample rate, 8000 Hz"]
