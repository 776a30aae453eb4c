#pragma once
// One picture of the measuring view's spectrogram: for each pixel column of a
// stretch of time, the spectrogram column whose time slot holds the pixel's
// centre, and nothing more. Where the columns are wider than a few pixels the
// grid is refined (the step halved, each coarser column kept as it is) so a
// close look stays smooth. Plain C++, computed off the user-interface thread.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "player/analysis/measureview/CMeasureSound.h"
#include "player/analysis/spectrum/SpectrogramColumns.h"

struct PictureRequest {
    double dStart = 0, dEnd = 0; // seconds shown
    int nPixels = 0;             // pixel columns across them (device pixels)
    sonavel::spectrogram::SpectrogramSettings settings;
    // Which of its asker's requests this is (the view counts them up), so a
    // picture that arrives late is known for what it is.
    uint64_t nSerial = 0;
};

class CMeasurePicture {
public:
    PictureRequest request;
    sonavel::spectrogram::SpectrogramGrid grid; // the (refined) grid the columns lie on
    std::vector<int> pixelColumn;               // per pixel: a column below, or -1
    std::vector<int64_t> columnIndex;           // grid index of each column
    std::vector<float> values;                  // grid.nBins levels (dB) per column
    float fTopDb = sonavel::spectrogram::kQuietestTopDb; // the shading's black (ShadingTop)
    // Why the request has no columns ("not enough memory"); empty when it has.
    std::string strFailure;

    int Columns() const { return static_cast<int>(columnIndex.size()); }
    const float* Column(int i) const { return values.data() + static_cast<size_t>(i) * grid.nBins; }
    // The column shown at pixel x, or -1.
    int ColumnAtPixel(int x) const
    {
        return x >= 0 && x < static_cast<int>(pixelColumn.size()) ? pixelColumn[static_cast<size_t>(x)] : -1;
    }
    // The column shown at time t, wherever the picture is drawn: its pixels
    // span the request's own stretch, which may no longer be what is shown.
    int ColumnAtTime(double t) const;
    double ColumnTime(int i) const { return grid.ColumnTime(columnIndex[static_cast<size_t>(i)]); }
    // The level at dHz in column i, straight between its bins; NaN above the top.
    double LevelAt(int i, double dHz) const;
};

// The picture's widest column, in pixels, before the grid is refined.
inline constexpr double kMaxColumnPixels = 3.0;

// Columns computed for earlier pictures of the same sound and settings, so a
// scroll computes only what came into view. One thread at a time.
class CColumnCache {
public:
    // Forgets everything unless the sound (CMeasureSound::Identity) and
    // settings are the ones it holds.
    void Use(uint64_t nSoundIdentity, const sonavel::spectrogram::SpectrogramSettings& settings);
    const std::vector<float>* Find(int nLevel, int64_t k) const;
    void Add(int nLevel, int64_t k, const float* pValues, int nBins);

    // Levels it keeps at most (16 MB); past that it starts afresh.
    static constexpr size_t kMaxValues = 4u << 20;

private:
    static uint64_t Key(int nLevel, int64_t k);
    uint64_t m_nSoundIdentity = 0; // none: identities start at 1
    sonavel::spectrogram::SpectrogramSettings m_settings;
    std::unordered_map<uint64_t, std::vector<float>> m_columns;
    size_t m_nValues = 0;
};

// How many times the settings' step is halved for this request.
int RefineLevel(const PictureRequest& request, int nRate);

// The samples [first, end) that the picture for request of a sound of nCount
// samples at nRate reads: all a sound must hold of itself for that picture.
std::pair<int64_t, int64_t> PictureSamples(const PictureRequest& request, int64_t nCount, int nRate);

// The picture for request, its new columns computed on up to nThreads
// threads; null when the settings do not suit the sound, or when *pCancel is
// set (checked column by column, so a cancelled picture ends within one).
// Nothing thrown escapes it: a picture larger than the analysis budget, or
// one whose memory cannot be had, comes back without columns and with
// strFailure saying why, as does a sound that does not hold the samples the
// picture reads.
std::shared_ptr<CMeasurePicture> ComputePicture(const CMeasureSound& sound, const PictureRequest& request,
                                                CColumnCache& cache, int nThreads = 1,
                                                const std::atomic<bool>* pCancel = nullptr);
