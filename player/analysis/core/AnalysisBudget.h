#pragma once
// How large an analysis may grow, whatever a file's header claims. A header
// can claim any rate up to 2^31 - 1 Hz, and every size derived from the rate
// (a window in samples, its transform, a grid of levels) is held to these
// bounds before anything is allocated, so the measuring view, render --view
// and the Python module refuse or trim alike.
//
// Constants only: nothing to own, any thread may read them.
#include <cstdint>

namespace sonavel::analysis {

// The largest spectrogram transform: the one the longest window (0.1 s) needs
// at 384 kHz, the highest rate recorders write (38400 samples, padded to 65536).
inline constexpr int kMaxFftPoints = 1 << 16;
// The longest window whose padding of half a window still fits that
// transform. A longer one (the same 0.1 s at a claimed gigahertz) is held to
// it and says so: it costs no more than a real recording ever does.
inline constexpr int kMaxWindowSamples = kMaxFftPoints * 2 / 3;

// The memory one grid of results (a spectrogram's levels, a picture's columns)
// may take, counting every copy held at once; a larger one is refused.
inline constexpr std::uint64_t kGridBudgetBytes = std::uint64_t(1) << 30;

// The frame tracks over a sound (formants, intensity): the step between frames
// they take, and the highest sample rate, so that a block's stretch stays
// within an int's count (a header that claims gigahertz would need gigabytes
// of filter taps).
inline constexpr double kMinStepS = 0.001, kMaxStepS = 1.0;
inline constexpr int kMaxRateHz = 5000000;

} // namespace sonavel::analysis
