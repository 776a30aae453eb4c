"""The voice report: jitter, shimmer, harmonics-to-noise ratio and smoothed
cepstral peak prominence of a span of a sound, and the glottal pulses and
harmonicity frames they are made of, over the compiled part's plain tuples."""
import collections as _collections

from . import _sonavel

_COLUMNS = ["start_s", "end_s", "f0_median_hz", "f0_mean_hz", "f0_sd_hz", "pulses", "periods", "unvoiced_fraction",
            "voice_breaks", "jitter_local_pct", "jitter_local_abs_us", "jitter_rap_pct", "jitter_ppq5_pct",
            "jitter_ddp_pct", "shimmer_local_pct", "shimmer_local_db", "shimmer_apq3_pct", "shimmer_apq5_pct",
            "shimmer_apq11_pct", "shimmer_dda_pct", "hnr_db", "cpps_db"]


class VoiceReport(_collections.namedtuple("VoiceReport", _COLUMNS)):
    """VoiceReport(start_s, end_s, f0_median_hz, ..., cpps_db): the voice report of a span.

    The fields are sonavel-analyze voice's columns after file, under the same
    names, unrounded: the span measured (seconds from the start of the
    sound); f0 median, mean and standard deviation (Hz) over the voiced
    frames; the glottal pulses found and the periods between them that jitter
    and shimmer compare; the fraction of unvoiced frames and the voice breaks
    (gaps longer than 1.25 / floor); jitter local (%), local absolute (us),
    rap, ppq5 and ddp (%); shimmer local (%), local (dB), apq3, apq5, apq11 and
    dda (%); the mean harmonics-to-noise ratio of the voiced frames (dB); the
    smoothed cepstral peak prominence (dB). A value that cannot be had (too
    few periods, no voiced frame) is None; the counts are ints."""
    __slots__ = ()

    def to_dict(self):
        """The fields as a dict, in the columns' order."""
        return dict(zip(self._fields, self))


Harmonicity = _collections.namedtuple("Harmonicity", ["time_s", "db"])
Harmonicity.__doc__ = """Harmonicity(time_s, db): numpy float64 arrays, one entry per frame.

A frame every 10 ms over the span, times from the start of the sound; db is
the frame's harmonics-to-noise ratio by autocorrelation, -200 where the frame
is unvoiced."""


def _span(start, end):
    return (None if start is None else float(start)), (None if end is None else float(end))


def voice(sound_or_path, *, start=None, end=None, floor=75.0, ceiling=600.0, channel=1):
    """voice(sound_or_path, *, start=None, end=None, floor=75.0, ceiling=600.0, channel=1) -> VoiceReport

    The voice report of a Sound or of the file at a path, over its span from
    start to end seconds (None: the sound's start, its end): the values
    sonavel-analyze voice writes with the same options, before its rounding.
    Pulses are sought along the research tracker's pitch between floor and
    ceiling Hz. A setting refused raises ValueError naming it, before any
    file is read; a start at or past the sound's end raises ValueError once it
    is read. channel: as pitch() takes it. The interpreter's lock is released
    while the sound is read and measured.
    """
    first, last = _span(start, end)
    return VoiceReport(*_sonavel.voice(sound_or_path, first, last, float(floor), float(ceiling), channel))


def pulses(sound_or_path, *, start=None, end=None, floor=75.0, ceiling=600.0, channel=1):
    """pulses(sound_or_path, *, start=None, end=None, floor=75.0, ceiling=600.0, channel=1) -> numpy float64 array

    The glottal pulses voice() counts: one time per cycle of the voiced
    stretches, in seconds from the start of the sound. Options as voice()'s.
    """
    first, last = _span(start, end)
    return _sonavel.pulses(sound_or_path, first, last, float(floor), float(ceiling), channel)


def harmonicity(sound_or_path, *, start=None, end=None, floor=75.0, ceiling=600.0, channel=1):
    """harmonicity(sound_or_path, *, start=None, end=None, floor=75.0, ceiling=600.0, channel=1) -> Harmonicity

    The harmonicity frames whose voiced mean is voice()'s hnr_db. Options as
    voice()'s.
    """
    first, last = _span(start, end)
    return Harmonicity(*_sonavel.harmonicity(sound_or_path, first, last, float(floor), float(ceiling), channel))
