"""Sonavel's loading, pitch tracker, formants, intensity and spectrogram for Python.

load(path) reads a sound file into one channel of signed 16-bit samples (a
Sound), recognising the format by content, one of
%(formats)s.
Of a file of several channels it keeps the first, or the one given by
channel= (telephone and interview recordings often hold one speaker on each).
Sound.reader names the reader that took a file, Sound.channels how many
channels it has. Sound(samples, sample_rate) makes one from a numpy array
(int16, or floating point in [-1, 1]); every analysis gives for it exactly
what it gives for a WAV file of the same samples. Sound.extract(start, end)
cuts a span, Sound.save(path) writes a 16-bit WAV.

The tracks' .at(time_s) reads them at any time (linear between frames, NaN
where a frame has no value) and .to_dict() gives columns for
pandas.DataFrame.

pitch() gives the track sonavel-analyze pitch prints, with either tracker;
formants() and intensity() the values of sonavel-analyze formants and intensity;
spectrogram() the measuring view's spectrogram of the whole sound, in dB;
spectrum() the spectral slice at one time with its LPC envelope;
analysis_window_grid() the grid the Pitch / Spectrogram window paints;
read_textgrid() and write_textgrid() a TextGrid, measure() the table
sonavel-analyze measure writes (f0, F1-F3, intensity per labelled interval);
voice() the voice report of sonavel-analyze voice (jitter, shimmer, HNR, CPPS),
pulses() and harmonicity() what it is made of. A file
that cannot be read, or that gives no sample rate, raises SoundError. The
interpreter's lock is released while a file loads and while a track or a
spectrogram is computed, so other threads run meanwhile.

The functions are plain Python functions, so they pickle by name:
multiprocessing.Pool().map(sonavel.pitch, files) and Dask's
client.map(sonavel.pitch, files) spread a corpus over processes.
"""
import collections as _collections
import errno as _errno
import os as _os

__all__ = ["Formants", "Intensity", "PitchTrack", "Sound", "SoundError", "SoundFileNotFoundError", "Spectrogram",
           "analysis_window_grid", "formants", "intensity", "load", "pitch", "spectrogram", "Spectrum", "spectrum",
           "TextGrid", "IntervalTier", "PointTier", "Interval", "Point", "read_textgrid", "write_textgrid", "measure",
           "VoiceReport", "Harmonicity", "voice", "pulses", "harmonicity"]


class SoundError(OSError):
    """A sound file that cannot be read or analysed.

    str() is the line sonavel-analyze prints for it. filename is the file's
    path; errno and strerror are set, as an OSError's are, when the system gave
    the reason (a missing or unreadable file), and are None otherwise.
    """

    def __init__(self, message="", errno=None, filename=None):
        # With its own __init__, OSError keeps the message as it is instead of
        # reading (errno, strerror, filename) out of the arguments.
        super().__init__(message)
        self.errno = errno
        self.strerror = _os.strerror(errno) if errno is not None else None
        self.filename = filename

    def __str__(self):
        return str(self.args[0]) if self.args else ""

    def __reduce__(self):
        return (type(self), (str(self), self.errno, self.filename))


class SoundFileNotFoundError(SoundError, FileNotFoundError):
    """A sound file that does not exist: both a SoundError and a FileNotFoundError."""


def _sound_error(message, errno, filename):
    """The error the compiled part raises for a file (it asks here, so the classes live in one place)."""
    kind = SoundFileNotFoundError if errno == _errno.ENOENT else SoundError
    return kind(message, errno, filename)


from . import _sonavel  # noqa: E402  (the compiled part raises the classes above)
from ._sonavel import Sound  # noqa: E402

Sound.__module__ = __name__
from ._textgrid import (Interval, IntervalTier, Point, PointTier, TextGrid, measure, read_textgrid,  # noqa: E402
                        write_textgrid)
from ._voice import Harmonicity, VoiceReport, harmonicity, pulses, voice  # noqa: E402
__version__ = _sonavel.__version__
# The formats are named where the readers are listed, in the compiled part.
__doc__ %= {"formats": _sonavel.FORMATS}


def load(path, *, channel=1):
    """load(path, *, channel=1) -> Sound

    Reads channel `channel` of a sound file (1 is the first) with the player's
    readers, which recognise the format by content, one of
    %(formats)s.
    path is a str, bytes or os.PathLike. Raises SoundError with
    sonavel-analyze's message when the file cannot be read, gives no sample
    rate or has no such channel (the message names how many it has;
    SoundFileNotFoundError when the file does not exist), ValueError for a
    channel below 1.
    """
    return _sonavel.load(path, channel)


load.__doc__ %= {"formats": _sonavel.FORMATS}


def _values_at(time_s, frame_times, values):
    """values (frames, ...) at time_s: linear between the two frames around each
    time, NaN where either of them is NaN (a time on a frame takes that frame's
    value alone); within half a frame step outside the frames, the first or the
    last frame's; NaN further out."""
    import numpy as np
    t = np.asarray(time_s, dtype=np.float64)
    ft = np.asarray(frame_times, dtype=np.float64)
    v = np.asarray(values, dtype=np.float64)
    n = len(ft)
    tt = t.reshape(-1)
    if n == 0:
        out = np.full((tt.size,) + v.shape[1:], np.nan)
    else:
        half = (ft[-1] - ft[0]) / (n - 1) / 2 if n > 1 else 0.0
        i = np.clip(np.searchsorted(ft, tt, side="right") - 1, 0, max(n - 2, 0))
        j = np.minimum(i + 1, n - 1)
        span = ft[j] - ft[i]
        w = np.clip(np.where(span > 0, (tt - ft[i]) / np.where(span > 0, span, 1.0), 0.0), 0.0, 1.0)
        w = w.reshape((-1,) + (1,) * (v.ndim - 1))
        a, b = v[i], v[j]
        out = np.where(w == 0, a, np.where(w == 1, b, a * (1 - w) + b * w))
        out[(tt < ft[0] - half) | (tt > ft[-1] + half) | np.isnan(tt)] = np.nan
    if t.ndim == 0:
        return float(out[0]) if out.ndim == 1 else out[0]
    return out.reshape(t.shape + v.shape[1:])


def _missing_as_nan(values, mark):
    import numpy as np
    values = np.array(values, dtype=np.float64)
    values[values == mark] = np.nan
    return values


class _PitchFrames(_collections.namedtuple("PitchTrack", ["time_s", "pitch_hz", "confidence"])):
    __slots__ = ()

    def at(self, time_s):
        """The pitch in Hz at time_s (a number or an array of them): linear between
        the frames around it, NaN where either is unvoiced or outside the track."""
        return _values_at(time_s, self.time_s, _missing_as_nan(self.pitch_hz, 0))

    def to_dict(self):
        """{"time_s", "pitch_hz", "confidence"} as numpy arrays for pandas.DataFrame,
        pitch_hz NaN (not 0) where a frame is unvoiced, so that means skip those."""
        return {"time_s": self.time_s, "pitch_hz": _missing_as_nan(self.pitch_hz, 0),
                "confidence": self.confidence}


class PitchTrack(_PitchFrames):
    """PitchTrack(time_s, pitch_hz, confidence): one entry per frame, numpy float64 arrays.

    time_s is the frame's time in seconds, pitch_hz its pitch (0 where the frame
    is unvoiced), confidence 0 to 1 (the research tracker's: how periodic the
    chosen period is, 0 where unvoiced; the AMDF's: 1 where voiced, else 0).
    at(time_s) reads the pitch at any time, to_dict() gives its columns."""
    __slots__ = ()

PitchTrack.time_s.__doc__ = "Seconds from the start of the sound to the frame (its centre, for the research tracker)."
PitchTrack.pitch_hz.__doc__ = "The frame's pitch in Hz; 0 where it is unvoiced."
PitchTrack.confidence.__doc__ = "0 to 1; 0 where the frame is unvoiced."

Spectrogram = _collections.namedtuple("Spectrogram", ["db", "time_s", "frequency_hz"])
Spectrogram.__doc__ = """Spectrogram(db, time_s, frequency_hz): the measuring view's spectrogram of a sound.

db is a numpy float32 array of shape (frequencies, times): the level of each
frequency at each time in dB of full scale (a full-scale sine reads 0 dB at its
frequency), no lower than dynamic_range below the loudest value. time_s (float64)
gives each column's time, frequency_hz (float64) each row's frequency, from 0 Hz up."""
Spectrogram.db.__doc__ = "Levels in dB, shape (frequencies, times), float32."
Spectrogram.time_s.__doc__ = "The time of each column, seconds: column k at k x time_step."
Spectrogram.frequency_hz.__doc__ = "The frequency of each row, Hz, from 0 up to the top."


def pitch(sound, *, tracker="nccf", floor=None, ceiling=None, step=None, threads=0, channel=1):
    """pitch(sound, *, tracker="nccf", floor=None, ceiling=None, step=None, threads=0, channel=1) -> PitchTrack

    The pitch track of a Sound or of the file at a path, the values
    sonavel-analyze pitch writes with the same options (before its rounding):
    PitchTrack(time_s, pitch_hz, confidence), numpy float64 arrays, 0 Hz where a
    frame is unvoiced.

    tracker="nccf" (the default) is the research tracker: normalised
    cross-correlation with a dynamic-programming path, a frame every step
    seconds (0.01 unless given) timed at its centre, confidence 0 to 1. It
    searches 50-800 Hz and keeps to each speaker's own range, learnt from his
    own turn (a change of level, with or without a pause, starts afresh, so a
    recording reads the same alone and inside a long file), so men, women and
    children, in one file or many, need no settings. tracker="amdf" is the player's
    own track, as the Pitch / Spectrogram window shows it: a frame every 100
    samples, whole Hz, 70-260 Hz unless given (a higher voice comes out at a
    half or a third of its pitch), confidence 1 where voiced and 0 elsewhere;
    it takes no step.

    floor and ceiling (Hz): for the AMDF the range searched (bracket the
    voices, e.g. tracker="amdf", floor=150, ceiling=500 for women and
    children); for the research tracker the range reported: it searches its
    own range as ever, so a voice inside the given one reads the same, and a
    frame outside it is unvoiced, never an octave of it. The AMDF takes whole
    Hz with a ceiling below 1638 Hz; the research tracker a floor of 20 Hz or
    more and a ceiling up to a quarter of the sample rate. step: seconds between
    the research tracker's frames, 0.001 to 1. A setting the tracker refuses
    raises ValueError naming it, before any file is read.

    threads: how many threads the tracker may use (0: one per core); the track
    is the same whatever the count. channel: the channel of a file given by its
    path, as load() takes it (a Sound holds its own; another channel raises
    ValueError).
    """
    return PitchTrack(*_sonavel.pitch(sound, tracker, floor, ceiling, step, threads, channel))


_FormantFrames = _collections.namedtuple("Formants", ["time_s", "frequency_hz", "bandwidth_hz"])


class Formants(_FormantFrames):
    """Formants(time_s, frequency_hz, bandwidth_hz, max_formant_hz): numpy float64 arrays and a number.

    time_s (frames,) gives each frame's time; frequency_hz and bandwidth_hz, of
    shape (frames, count), each frame's formants F1 up and their bandwidths in Hz,
    0 where the frame lacks that formant. max_formant_hz: the ceiling the
    formants were sought under, the one given or the one found for the voice.
    It is an attribute beside the three arrays, so `t, f, b = formants(...)`
    still unpacks. at(time_s) reads the formants at any time, to_dict() gives
    the columns."""

    def __new__(cls, time_s, frequency_hz, bandwidth_hz, max_formant_hz=0.0):
        self = super().__new__(cls, time_s, frequency_hz, bandwidth_hz)
        self.max_formant_hz = float(max_formant_hz)
        return self

    def __reduce__(self):
        return (Formants, (*self, self.max_formant_hz))

    def _replace(self, **changes):
        ceiling = changes.pop("max_formant_hz", self.max_formant_hz)
        return Formants(*super()._replace(**changes), ceiling)

    def __repr__(self):
        return super().__repr__()[:-1] + ", max_formant_hz=%r)" % self.max_formant_hz

    def at(self, time_s):
        """F1, F2, ... in Hz at time_s (shape (count,), or (len(time_s), count) for an
        array of times): linear between the frames around it, NaN where either
        lacks that formant or outside the track."""
        return _values_at(time_s, self.time_s, _missing_as_nan(self.frequency_hz, 0))

    def to_dict(self):
        """{"time_s", "f1_hz", ..., "b1_hz", ...} as numpy arrays for pandas.DataFrame,
        NaN (not 0) where a frame lacks the formant."""
        columns = {"time_s": self.time_s}
        for name, table in (("f%d_hz", self.frequency_hz), ("b%d_hz", self.bandwidth_hz)):
            for k in range(table.shape[1]):
                columns[name % (k + 1)] = _missing_as_nan(table[:, k], 0)
        return columns


Formants.time_s.__doc__ = "Seconds from the start of the sound to the frame's centre: frame i at i x step."
Formants.frequency_hz.__doc__ = "Shape (frames, count): F1, F2, ... in Hz; 0 where not found."
Formants.bandwidth_hz.__doc__ = "Shape (frames, count): each formant's bandwidth in Hz; 0 where not found."

class Intensity(_collections.namedtuple("Intensity", ["time_s", "db"])):
    """Intensity(time_s, db): numpy float64 arrays, one entry per frame.

    db is the intensity in dB re 2e-5 Pa, the samples taken as pascal (full scale
    1 Pa: a full-scale sine reads about 91 dB); a frame without any sound reads -300.
    at(time_s) reads it at any time, to_dict() gives its columns."""
    __slots__ = ()

    def at(self, time_s):
        """dB at time_s (a number or an array of them): linear between the frames
        around it, NaN where either holds no sound or outside the track."""
        return _values_at(time_s, self.time_s, _missing_as_nan(self.db, -300))

    def to_dict(self):
        """{"time_s", "db"} as numpy arrays for pandas.DataFrame, db NaN (not -300)
        where a frame holds no sound."""
        return {"time_s": self.time_s, "db": _missing_as_nan(self.db, -300)}


Intensity.time_s.__doc__ = "Seconds from the start of the sound to the frame's centre: frame i at i x step."
Intensity.db.__doc__ = "dB re 2e-5 Pa; -300 where the frame holds no sound."


def formants(sound, *, max_formant=None, count=5, step=0.01, channel=1):
    """formants(sound, *, max_formant=None, count=5, step=0.01, channel=1) -> Formants

    The formants of a Sound or of the file at a path by linear prediction, the
    values sonavel-analyze formants writes with the same options (before its
    rounding): a frame every step seconds (0.001 to 1) over the whole sound, at
    the times pitch() gives with the same step. count: formants per frame, 1 to
    6. max_formant: the highest formant sought in Hz, 1000 up to half the sample
    rate; None finds it per file for the voice (a man's, a woman's or a child's).
    A setting refused raises ValueError naming it, before any file is read (a
    max_formant above half the file's rate, once it is read). channel: as
    pitch() takes it.
    """
    return Formants(*_sonavel.formants(sound, max_formant, count, step, channel))


def intensity(sound, *, floor=100.0, step=0.01, channel=1):
    """intensity(sound, *, floor=100.0, step=0.01, channel=1) -> Intensity

    The intensity of a Sound or of the file at a path in dB, the values
    sonavel-analyze intensity writes with the same options (before its
    rounding): a frame every step seconds (0.001 to 1) over the whole sound, at
    the times pitch() gives with the same step. floor: the lowest pitch expected
    in Hz, 25 to 1000; it sets the window, 6.4 / floor seconds in all. A
    setting refused raises ValueError naming it, before any file is read.
    channel: as pitch() takes it.
    """
    return Intensity(*_sonavel.intensity(sound, floor, step, channel))


class Spectrum(_collections.namedtuple("Spectrum", ["frequency_hz", "db", "lpc_db"])):
    """Spectrum(frequency_hz, db, lpc_db): the spectral slice at one time, numpy float64 arrays.

    frequency_hz from 0 Hz up to half the sample rate, equally spaced; db the
    spectrum in dB re 2e-5 Pa as intensity() reads it (a sine's peak reads the
    sine's own level; -300 where there is no sound); lpc_db the envelope of the
    formant analysis' predictor at that time on the same scale, NaN above its
    ceiling. Beside them: peaks_hz and lpc_peaks_hz, the frequencies of the
    peaks of both curves (lowest first), and max_formant_hz, the envelope's
    ceiling. to_dict() gives the three columns."""

    def __new__(cls, frequency_hz, db, lpc_db, peaks_hz=(), lpc_peaks_hz=(), max_formant_hz=0.0):
        import numpy as np
        self = super().__new__(cls, frequency_hz, db, lpc_db)
        self.peaks_hz = np.asarray(peaks_hz, dtype=np.float64)
        self.lpc_peaks_hz = np.asarray(lpc_peaks_hz, dtype=np.float64)
        self.max_formant_hz = float(max_formant_hz)
        return self

    def __reduce__(self):
        return (Spectrum, (*self, self.peaks_hz, self.lpc_peaks_hz, self.max_formant_hz))

    def to_dict(self):
        """{"frequency_hz", "db", "lpc_db"} as numpy arrays for pandas.DataFrame."""
        return dict(zip(self._fields, self))


def spectrum(sound, at, *, window=0.005, channel=1):
    """spectrum(sound, at, *, window=0.005, channel=1) -> Spectrum

    The spectral slice of a Sound or of the file at a path at `at` seconds, the
    values sonavel-analyze spectrum --lpc writes (before its rounding): the
    power spectrum under a Gaussian window of `window` seconds (0.001 to 1; it
    spans twice that, so 0.005 resolves as a wide-band spectrogram) centred on
    `at`, and the formant analysis' envelope there, its ceiling found for the
    voice. A setting refused raises ValueError naming it; a time outside the
    sound raises SoundError. channel: as pitch() takes it.
    """
    return Spectrum(*_sonavel.spectrum(sound, at, window, channel))


def spectrogram(sound, *, window_length=0.005, max_frequency=5000.0, time_step=0.002, dynamic_range=50.0,
                threads=0, channel=1):
    """spectrogram(sound, *, window_length=0.005, max_frequency=5000.0, time_step=0.002, dynamic_range=50.0, threads=0, channel=1) -> Spectrogram

    The measuring view's spectrogram of the whole of a Sound or of the file at a
    path, computed as the view computes it: Spectrogram(db, time_s,
    frequency_hz), db of shape (frequencies, times) in dB of full scale.

    window_length: seconds of the Hann window (0.005 wide-band, about 0.03
    narrow-band; 0.001 to 0.1). max_frequency: the top row's frequency in Hz,
    100 at least; one above half the sample rate is lowered to it, as the view
    lowers it. time_step: seconds between columns (0.0001 to 1), column k at
    k x time_step. dynamic_range: dB (10 to 150); every level further below the
    loudest is raised to that floor, as the view shades it white. threads: how
    many threads compute the columns (0: one per core); the values are the same
    whatever the count. channel: as pitch() takes it.

    A setting refused raises ValueError naming it. A grid of more than 1 GiB
    raises ValueError before it is computed: for a long sound, a longer
    time_step or a lower max_frequency makes it smaller.
    """
    return Spectrogram(*_sonavel.spectrogram(sound, window_length, max_frequency, time_step, dynamic_range, threads,
                                             channel))


def analysis_window_grid(sound, width=_sonavel.WINDOW_WIDTH, height=_sonavel.WINDOW_HEIGHT, *, channel=1):
    """analysis_window_grid(sound, width=487, height=284, *, channel=1) -> numpy float64 array (rows, columns)

    The Pitch / Spectrogram window's spectrogram grid of a Sound or of the file
    at a path, for a window client area of width x height pixels (its own size
    by default): one column per pixel of the width (1 to 3000), height - 60 rows
    from 0 Hz (row 0) up to 5000 Hz, in dB from 0 to 35 (35 is the loudest
    point). A size whose grid would need more than 1 GiB (the array returned and
    the copy the computation keeps beside it) raises ValueError before anything
    is computed. channel: as pitch() takes it.
    """
    return _sonavel.analysis_window_grid(sound, width, height, channel)
