"""Sonavel's loading, pitch tracker, formants, intensity and spectrogram for Python.

Formats, recognised by content: WAV, AIFF/AIFC, AU, fixed-header PCM, FLAC, Ogg Vorbis, Opus, MP3, RF64,
W64, CAF, NIST SPHERE.
"""
import os
from typing import Any, Dict, List, NamedTuple, Optional, Union

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

_Times = Union[float, npt.ArrayLike]

class Sound:
    """A sound: one channel of signed 16-bit samples at one rate."""
    def __init__(self, samples: npt.ArrayLike, sample_rate: int) -> None:
        """int16 as it is, or floating point in [-1, 1] times 32768, rounded and clipped to 16 bits."""
    def __len__(self) -> int: ...
    @property
    def values(self) -> npt.NDArray[np.float64]:
        """samples / 32768, a new copy at each call."""
    def extract(self, start: float = 0.0, end: Optional[float] = None) -> "Sound": ...
    def save(self, path: _Path) -> None:
        """A mono 16-bit WAV, written whole or not at all."""
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
    def path(self) -> Optional[str]:
        """None for a Sound made from samples."""
    @property
    def channels(self) -> int:
        """How many channels the file has."""
    @property
    def channel(self) -> int:
        """The file's channel this Sound holds, 1 for the first."""
    @property
    def reader(self) -> str:
        """wave (WAV), aiff (AIFF/AIFC), au (AU), fixed-le or fixed-be (fixed-header PCM), sndfile (the others)."""

class PitchTrack(NamedTuple):
    """One entry per frame: numpy float64 arrays; 0 Hz where a frame is unvoiced."""
    time_s: npt.NDArray[np.float64]
    pitch_hz: npt.NDArray[np.float64]
    confidence: npt.NDArray[np.float64]
    """0 to 1 (the AMDF's: 1 where voiced, else 0)."""
    def at(self, time_s: _Times) -> Any:
        """Linear between frames; NaN where a frame around it is unvoiced."""
    def to_dict(self) -> Dict[str, npt.NDArray[np.float64]]:
        """Columns for pandas.DataFrame; pitch_hz NaN where unvoiced."""

class Spectrogram(NamedTuple):
    """The measuring view's spectrogram: db of shape (frequencies, times), dB of full scale."""
    db: npt.NDArray[np.float32]
    time_s: npt.NDArray[np.float64]
    frequency_hz: npt.NDArray[np.float64]

def load(path: _Path, *, channel: int = 1) -> Sound:
    """Reads channel `channel` (1 is the first) of a file in a format the module's document lists."""
def pitch(sound: Union[Sound, _Path], *, tracker: str = "nccf", floor: Optional[float] = None,
          ceiling: Optional[float] = None, step: Optional[float] = None, threads: int = 0,
          channel: int = 1) -> PitchTrack:
    """tracker "nccf" (research, default: 50-800 Hz narrowed to the speaker's own, a frame every step = 0.01 s)
    or "amdf" (the player's: 70-260 Hz, a frame per 100 samples, no step); floor/ceiling in Hz set the range."""
class Formants(NamedTuple):
    """time_s (frames,); frequency_hz and bandwidth_hz (frames, count) in Hz, 0 where not found."""
    time_s: npt.NDArray[np.float64]
    frequency_hz: npt.NDArray[np.float64]
    bandwidth_hz: npt.NDArray[np.float64]
    @property
    def max_formant_hz(self) -> float:
        """The ceiling the formants were sought under: the one given, or the one found for the voice."""
    def at(self, time_s: _Times) -> npt.NDArray[np.float64]:
        """F1, F2, ... linear between frames; NaN where a frame around it lacks the formant."""
    def to_dict(self) -> Dict[str, npt.NDArray[np.float64]]:
        """time_s, f1_hz ..., b1_hz ... for pandas.DataFrame; NaN where not found."""

class Intensity(NamedTuple):
    """dB re 2e-5 Pa per frame; -300 where a frame holds no sound."""
    time_s: npt.NDArray[np.float64]
    db: npt.NDArray[np.float64]
    def at(self, time_s: _Times) -> Any:
        """Linear between frames; NaN where a frame around it holds no sound."""
    def to_dict(self) -> Dict[str, npt.NDArray[np.float64]]:
        """Columns for pandas.DataFrame; db NaN where a frame holds no sound."""

class Spectrum(NamedTuple):
    """The spectral slice: dB re 2e-5 Pa from 0 Hz to half the rate, and the LPC envelope (NaN above its ceiling)."""
    frequency_hz: npt.NDArray[np.float64]
    db: npt.NDArray[np.float64]
    lpc_db: npt.NDArray[np.float64]
    @property
    def peaks_hz(self) -> npt.NDArray[np.float64]: ...
    @property
    def lpc_peaks_hz(self) -> npt.NDArray[np.float64]: ...
    @property
    def max_formant_hz(self) -> float: ...
    def to_dict(self) -> Dict[str, npt.NDArray[np.float64]]: ...

def spectrum(sound: Union[Sound, _Path], at: float, *, window: float = 0.005, channel: int = 1) -> Spectrum:
    """The Gaussian window's spectrum (window 0.001-1 s) at `at` seconds, with the formant analysis' envelope."""
def formants(sound: Union[Sound, _Path], *, max_formant: Optional[float] = None, count: int = 5,
             step: float = 0.01, channel: int = 1) -> Formants:
    """count 1-6 formants per frame, max_formant 1000 Hz to half the rate (None: found per file), step 0.001-1 s."""
def intensity(sound: Union[Sound, _Path], *, floor: float = 100.0, step: float = 0.01,
              channel: int = 1) -> Intensity:
    """floor 25-1000 Hz (the window is 6.4 / floor s), step 0.001-1 s."""
def spectrogram(sound: Union[Sound, _Path], *, window_length: float = 0.005, max_frequency: float = 5000.0,
                time_step: float = 0.002, dynamic_range: float = 50.0, threads: int = 0,
                channel: int = 1) -> Spectrogram:
    """The measuring view's columns over the whole sound; a grid past 1 GiB raises ValueError."""
def analysis_window_grid(sound: Union[Sound, _Path], width: int = 487, height: int = 284, *,
                         channel: int = 1) -> npt.NDArray[np.float64]:
    """The Pitch / Spectrogram window's grid: (height - 60) rows from 0 Hz up to 5000 Hz by width columns, 0 to 35 dB."""

class Interval(NamedTuple):
    start_s: float
    end_s: float
    label: str

class Point(NamedTuple):
    time_s: float
    label: str

class IntervalTier(NamedTuple):
    name: str
    start_s: float
    end_s: float
    intervals: List[Interval]

class PointTier(NamedTuple):
    name: str
    start_s: float
    end_s: float
    points: List[Point]

class TextGrid(NamedTuple):
    start_s: float
    end_s: float
    tiers: List[Union[IntervalTier, PointTier]]

def read_textgrid(path: _Path) -> TextGrid:
    """A broken file raises ValueError naming its line; an unreadable one OSError."""
def write_textgrid(textgrid: TextGrid, path: _Path) -> None:
    """The long text form, written atomically; a grid that is not sound raises ValueError."""
def measure(sound_or_path: Union[Sound, _Path], textgrid_or_path: Union[TextGrid, _Path], *,
            tier: Optional[str] = None) -> Dict[str, Union[List[str], npt.NDArray[np.float64]]]:
    """sonavel-analyze measure's columns: file, tier, label (lists), the rest float64 arrays (NaN: no value)."""

class VoiceReport(NamedTuple):
    """sonavel-analyze voice's columns after file, unrounded; None where a value cannot be had."""
    start_s: float
    end_s: float
    f0_median_hz: Optional[float]
    f0_mean_hz: Optional[float]
    f0_sd_hz: Optional[float]
    pulses: int
    periods: int
    unvoiced_fraction: Optional[float]
    voice_breaks: int
    jitter_local_pct: Optional[float]
    jitter_local_abs_us: Optional[float]
    jitter_rap_pct: Optional[float]
    jitter_ppq5_pct: Optional[float]
    jitter_ddp_pct: Optional[float]
    shimmer_local_pct: Optional[float]
    shimmer_local_db: Optional[float]
    shimmer_apq3_pct: Optional[float]
    shimmer_apq5_pct: Optional[float]
    shimmer_apq11_pct: Optional[float]
    shimmer_dda_pct: Optional[float]
    hnr_db: Optional[float]
    cpps_db: Optional[float]
    def to_dict(self) -> Dict[str, Optional[float]]: ...

class Harmonicity(NamedTuple):
    """A frame every 10 ms; dB of harmonics over noise, -200 where unvoiced."""
    time_s: npt.NDArray[np.float64]
    db: npt.NDArray[np.float64]

def voice(sound_or_path: Union[Sound, _Path], *, start: Optional[float] = None, end: Optional[float] = None,
          floor: float = 75.0, ceiling: float = 600.0, channel: int = 1) -> VoiceReport:
    """The voice report of the span start-end (None: the sound's own), pulses sought from floor to ceiling Hz."""
def pulses(sound_or_path: Union[Sound, _Path], *, start: Optional[float] = None, end: Optional[float] = None,
           floor: float = 75.0, ceiling: float = 600.0, channel: int = 1) -> npt.NDArray[np.float64]:
    """The glottal pulses' times in seconds from the start of the sound."""
def harmonicity(sound_or_path: Union[Sound, _Path], *, start: Optional[float] = None, end: Optional[float] = None,
                floor: float = 75.0, ceiling: float = 600.0, channel: int = 1) -> Harmonicity:
    """The harmonicity frames whose voiced mean is voice()'s hnr_db."""
