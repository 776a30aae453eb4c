"""Sonavel's loading, pitch tracker and spectrogram for Python.

The player's readers take WAV, AIFF/AIFC, AU and fixed-header PCM; through
libsndfile also FLAC, Ogg Vorbis, Opus, MP3, RF64, W64, CAF, NIST SPHERE and
floating-point and ADPCM WAV.
"""
import os
from typing import Optional, Tuple, Union

import numpy as np
import numpy.typing as npt

__version__: str

_Path = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]

class SoundError(OSError):
    """A sound file that cannot be read or analysed; str() is sonavel-analyze's line."""
    errno: Optional[int]
    strerror: Optional[str]
    filename: Optional[str]
    def __init__(self, message: str = ..., errno: Optional[int] = ..., filename: Optional[str] = ...) -> None: ...

class SoundFileNotFoundError(SoundError, FileNotFoundError):
    """A sound file that does not exist."""

class Sound:
    """A loaded sound: one channel of signed 16-bit samples at one rate."""
    @property
    def samples(self) -> npt.NDArray[np.int16]:
        """Read-only view of the sound's own memory (no copy)."""
    @property
    def sample_rate(self) -> int:
        """Samples per second, always positive."""
    @property
    def duration(self) -> float:
        """Seconds."""
    @property
    def path(self) -> str: ...
    @property
    def reader(self) -> str:
        """wave, aiff, au, fixed-le, fixed-be or sndfile (FLAC, Ogg Vorbis, Opus, MP3, RF64, W64, CAF, NIST SPHERE)."""

def load(path: _Path) -> Sound:
    """Reads WAV, AIFF/AIFC, AU, fixed-header PCM, FLAC, Ogg Vorbis, Opus, MP3, RF64, W64, CAF or NIST SPHERE."""
def pitch(sound: Union[Sound, _Path], *, threads: int = 0) -> Tuple[npt.NDArray[np.float64], npt.NDArray[np.int16]]:
    """(time_s, pitch_hz): one frame per 100 samples; 0 Hz = no pitch."""
def spectrogram(sound: Union[Sound, _Path], width: int = 487, height: int = 284) -> npt.NDArray[np.float64]:
    """(height - 60) rows from 0 Hz up to 5000 Hz by width columns, 0 to 35 dB."""
