"""TextGrids and the table of measurements per labelled interval: the named
tuples of a grid, and the functions the package exports over the compiled
part's plain tuples."""
import collections as _collections
import os as _os

import numpy as _np

from . import _sonavel

TextGrid = _collections.namedtuple("TextGrid", ["start_s", "end_s", "tiers"])
TextGrid.__doc__ = """TextGrid(start_s, end_s, tiers): a labelled recording's tiers, in order.

Each tier is an IntervalTier or a PointTier; labels and names are str."""
IntervalTier = _collections.namedtuple("IntervalTier", ["name", "start_s", "end_s", "intervals"])
IntervalTier.__doc__ = "IntervalTier(name, start_s, end_s, intervals): Intervals that tile the tier in time order."
PointTier = _collections.namedtuple("PointTier", ["name", "start_s", "end_s", "points"])
PointTier.__doc__ = "PointTier(name, start_s, end_s, points): Points in time order."
Interval = _collections.namedtuple("Interval", ["start_s", "end_s", "label"])
Interval.__doc__ = "Interval(start_s, end_s, label): a stretch of a tier, '' where unlabelled."
Point = _collections.namedtuple("Point", ["time_s", "label"])
Point.__doc__ = "Point(time_s, label): a moment of a point tier."

for _kind in (TextGrid, IntervalTier, PointTier, Interval, Point):
    _kind.__module__ = "sonavel"

# The table's columns, in the order sonavel-analyze measure writes them.
COLUMNS = ("file", "tier", "label", "start_s", "end_s", "duration_s", "f0_mean_hz", "f0_min_hz", "f0_max_hz",
           "f1_hz", "f2_hz", "f3_hz", "intensity_db")


def _grid_of(plain):
    start_s, end_s, tiers = plain
    made = []
    for name, is_point, tier_start, tier_end, items in tiers:
        if is_point:
            made.append(PointTier(name, tier_start, tier_end, [Point(*item) for item in items]))
        else:
            made.append(IntervalTier(name, tier_start, tier_end, [Interval(*item) for item in items]))
    return TextGrid(start_s, end_s, made)


def _plain_of(textgrid):
    if not isinstance(textgrid, tuple) or len(textgrid) != 3:
        raise TypeError("textgrid must be a TextGrid(start_s, end_s, tiers), not " + type(textgrid).__name__)
    start_s, end_s, tiers_in = textgrid
    if isinstance(tiers_in, (str, bytes)) or not hasattr(tiers_in, "__iter__"):
        raise TypeError("a TextGrid's tiers must be a list of tiers, not " + type(tiers_in).__name__)
    tiers = []
    for tier in tiers_in:
        if isinstance(tier, PointTier):
            tiers.append((tier.name, True, tier.start_s, tier.end_s, [tuple(p) for p in tier.points]))
        elif isinstance(tier, IntervalTier):
            tiers.append((tier.name, False, tier.start_s, tier.end_s, [tuple(i) for i in tier.intervals]))
        else:
            raise TypeError("a tier must be an IntervalTier or a PointTier, not " + type(tier).__name__)
    return (start_s, end_s, tiers)


def read_textgrid(path):
    """read_textgrid(path) -> TextGrid

    The TextGrid in a file (the long or the short text form; UTF-8, UTF-16 or
    Latin-1). A broken file raises ValueError with the line to blame
    ("take7.TextGrid:12: ..."), one that cannot be read OSError.
    """
    return _grid_of(_sonavel.read_textgrid(path))


def write_textgrid(textgrid, path):
    """write_textgrid(textgrid, path)

    Writes a TextGrid in the long text form (UTF-8), under a temporary name
    renamed into place, so a reader never meets half a file. A grid that is not
    sound (an interval out of order, a gap between intervals, a time that is
    NaN) or a label with a carriage return (no TextGrid reader gets it back:
    it reads as a line break) raises ValueError, a time that is no number
    TypeError, and nothing is written; a file that cannot be written raises
    OSError and the earlier file stays. A device or a FIFO is written as it
    is, never replaced.
    """
    _sonavel.write_textgrid(_plain_of(textgrid), path)


def measure(sound_or_path, textgrid_or_path, *, tier=None):
    """measure(sound_or_path, textgrid_or_path, *, tier=None) -> dict

    One row per labelled interval or point of the TextGrid (every tier, or the
    tier named), as sonavel-analyze measure writes them, as columns for
    pandas.DataFrame(...): "file" (the sound's path as given), "tier" and
    "label" (lists of str), and numpy float64 arrays "start_s", "end_s",
    "duration_s", "f0_mean_hz", "f0_min_hz", "f0_max_hz" (the research
    tracker over the interval's voiced frames), "f1_hz", "f2_hz", "f3_hz" (at
    its midpoint) and "intensity_db" (the energy mean over it); NaN where a
    value does not exist. A point's start and end are its time. Rows come in
    tier order, then in time. A tier the grid lacks, or a grid that
    write_textgrid would refuse as not sound, raises ValueError; a time that
    is no number TypeError.
    """
    if isinstance(sound_or_path, _sonavel.Sound):
        name = sound_or_path.path
    else:
        name = _os.fsdecode(sound_or_path)
    textgrid = textgrid_or_path if isinstance(textgrid_or_path, TextGrid) else read_textgrid(textgrid_or_path)
    tiers, labels, values = _sonavel.measure(sound_or_path, _plain_of(textgrid), tier)
    start_s, end_s = values[0], values[1]
    columns = {"file": [name] * len(labels), "tier": tiers, "label": labels, "start_s": start_s, "end_s": end_s,
               "duration_s": end_s - start_s}
    columns.update(zip(COLUMNS[6:], values[2:]))
    return columns


# Functions pickle by the name their module gives them: the package's.
for _function in (read_textgrid, write_textgrid, measure):
    _function.__module__ = "sonavel"
