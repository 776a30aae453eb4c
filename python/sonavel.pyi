"""Sonavel's loading, pitch tracker and spectrogram for Python."""
import os
from typing import Tuple, Union

import numpy as np
import numpy.typing as npt

__version__: str

_Path = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]

class SoundError(OSError):
    """A sound file that cannot be read or analysed; the message is sonavel-analyze's."""

class Sound:
    """A loaded sound: one channel of signed 16-bit samples at one rate."""
    @property
    def samples(self) -> npt.NDArray[np.int16]:
        """Read-only view of the sound's own memory (no copy)."""
    @property
    def sample_rate(self) -> int: ...
    @property
    def duration(self) -> float:
        """Seconds; nan when the file gives no sample rate."""
    @property
    def path(self) -> str: ...
    @property
    def reader(self) -> str:
        """wave, aiff, au, fixed-le or fixed-be."""

def load(path: _Path) -> Sound: ...
def pitch(sound: Union[Sound, _Path], *, threads: int = 0) -> Tuple[npt.NDArray[np.float64], npt.NDArray[np.int16]]:
    """(time_s, pitch_hz): one frame per 100 samples; 0 Hz = no pitch."""
def spectrogram(sound: Union[Sound, _Path], width: int = 487, height: int = 284) -> npt.NDArray[np.float64]:
    """(height - 60) rows from 0 Hz up to 5000 Hz by width columns, 0 to 35 dB."""
