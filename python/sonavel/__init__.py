"""Sonavel's loading, pitch tracker and spectrogram for Python.

load(path) reads a sound file into one channel of signed 16-bit samples (a
Sound), recognising the format by content. The player's own readers take WAV
(8-bit, 16-bit, 24/32-bit integer and mu-law, any number of channels: the first
is kept), AIFF/AIFC (uncompressed, one channel), AU (mu-law, 8-bit and
16-bit, either byte order) and the fixed-header PCM format; through libsndfile
it also reads FLAC, Ogg Vorbis, Opus, MP3, RF64, W64, CAF, NIST SPHERE and
floating-point and ADPCM WAV. Sound.reader names the reader that took a file.

pitch() gives the track sonavel-analyze pitch prints, spectrogram() the grid
the analysis window paints. A file that cannot be read, or that gives no
sample rate, raises SoundError. The interpreter's lock is released while a
file loads and while a track or a spectrogram is computed, so other threads
run meanwhile.

The functions are plain Python functions, so they pickle by name:
multiprocessing.Pool().map(sonavel.pitch, files) and Dask's
client.map(sonavel.pitch, files) spread a corpus over processes.
"""
import errno as _errno
import os as _os

__all__ = ["Sound", "SoundError", "SoundFileNotFoundError", "load", "pitch", "spectrogram"]


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
__version__ = _sonavel.__version__


def load(path):
    """load(path) -> Sound

    Reads a sound file with the player's readers (the format is recognised by
    content: WAV, AIFF/AIFC, AU, fixed-header PCM, and FLAC, Ogg Vorbis, Opus,
    MP3, RF64, W64, CAF, NIST SPHERE through libsndfile). path is a str, bytes
    or os.PathLike. Raises SoundError with sonavel-analyze's message when the
    file cannot be read or gives no sample rate (SoundFileNotFoundError when it
    does not exist).
    """
    return _sonavel.load(path)


def pitch(sound, *, threads=0):
    """pitch(sound, *, threads=0) -> (time_s, pitch_hz)

    The pitch track of a Sound or of the file at a path: one frame per 100
    samples, time_s (float64 seconds, the times sonavel-analyze pitch prints,
    before its rounding to six decimals) and pitch_hz (int16 whole hertz, 0 = no
    pitch). The values are the command line's. threads: how many threads the
    tracker may use (0: one per core); the track is the same whatever the count.
    """
    return _sonavel.pitch(sound, threads)


def spectrogram(sound, width=_sonavel.WINDOW_WIDTH, height=_sonavel.WINDOW_HEIGHT):
    """spectrogram(sound, width=487, height=284) -> numpy float64 array (rows, columns)

    The analysis window's spectrogram grid of a Sound or of the file at a path,
    for a window client area of width x height pixels (its own size by
    default): one column per pixel of the width (1 to 3000), height - 60 rows
    from 0 Hz (row 0) up to 5000 Hz, in dB from 0 to 35 (35 is the loudest
    point). A size whose grid would need more than 1 GiB (the array returned and
    the copy the computation keeps beside it) raises ValueError before anything
    is computed.
    """
    return _sonavel.spectrogram(sound, width, height)
