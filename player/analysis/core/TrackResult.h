#pragma once
// What a pitch track came to, from either tracker and for every caller: done,
// or the reason it is not. The values are the trackers' long-standing codes
// and the type converts to int, so a caller that compares with 0 reads it
// as before.
namespace sonavel::pitch {

enum ETrackResult : int {
    TRACK_DONE = 0,
    TRACK_NO_MEMORY = -1,     // working memory cannot be had (or the arguments do not fit the buffers)
    TRACK_SOURCE_FAILED = -2, // the sample source failed to give a block: a file cut short
    TRACK_REFUSED = -3,       // settings outside what the tracker takes (RefusedSetting)
    TRACK_RANGE_UNFIT = -4,   // the research tracker's range does not fit the rate
};

} // namespace sonavel::pitch
