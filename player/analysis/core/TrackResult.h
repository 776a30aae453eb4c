#pragma once
// What a pitch track came to, from either tracker and for every caller: the
// analyses' one outcome type under the trackers' long-standing names.
#include "player/analysis/core/AnalysisOutcome.h"

namespace sonavel::pitch {

using ETrackResult = sonavel::analysis::EOutcome;
inline constexpr ETrackResult TRACK_DONE = ETrackResult::Done;
inline constexpr ETrackResult TRACK_NO_MEMORY = ETrackResult::NoMemory;
inline constexpr ETrackResult TRACK_SOURCE_FAILED = ETrackResult::SourceFailed;
inline constexpr ETrackResult TRACK_REFUSED = ETrackResult::Refused; // RefusedSetting
inline constexpr ETrackResult TRACK_RANGE_UNFIT = ETrackResult::RangeUnfit;

} // namespace sonavel::pitch
