#pragma once
// The measuring view's layers as one table: a row per step of the formant and
// intensity grid (row k at k x step seconds) within a stretch, each layer's
// value at that time. A layer whose frames lie on another grid (the AMDF's,
// one frame per 100 samples) gives its frame nearest to the row's time. Plain
// C++, so the view's export and its tests share it.
//
// Rows are values the caller owns, made from tracks it holds; any thread, each on its
// own tracks.
#include <string>
#include <vector>

#include "player/analysis/formants/FormantTrack.h"
#include "player/analysis/intensity/IntensityTrack.h"
#include "player/analysis/pitch/PitchSettings.h"

namespace sonavel::measure {

// The tracks a table is made of; null: the layer has none (not made yet, or it
// failed), and its columns stay empty.
struct LayerTracks {
    const pitch::PitchFrames* pPitch = nullptr;
    const formants::FormantFrames* pFormants = nullptr;
    const intensity::IntensityFrames* pIntensity = nullptr;
};

// One row. NaN: the layer has no frame at this time. Otherwise the values as
// the command line writes them: 0 Hz and confidence 0 for an unvoiced frame,
// 0 Hz for a formant the frame lacks, kSilenceDb for a frame without sound.
struct LayerRow {
    double dTimeS = 0;
    double dPitchHz = 0, dConfidence = 0;
    double formantHz[3] = {0, 0, 0};
    double dIntensityDb = 0;
};

// Rows at every k x dStepS from dStartS to dEndS (both included). Empty when
// the step is not above 0 or the stretch is empty.
std::vector<LayerRow> LayerRows(const LayerTracks& tracks, double dStepS, double dStartS, double dEndS);

// "time_s,pitch_hz,confidence,f1_hz,f2_hz,f3_hz,intensity_db", then one line
// per row: time %.6f, pitch and confidence %.3f, formants %.1f, intensity
// %.3f (the pitch, formants and intensity commands' own formats); a NaN is
// an empty field.
std::string LayerCsv(const std::vector<LayerRow>& rows);

} // namespace sonavel::measure
