#include "player/analysis/CMeasurePicture.h"

#include <algorithm>
#include <cmath>
#include <limits>

using namespace sonavel::spectrogram;

double CMeasurePicture::LevelAt(int i, double dHz) const
{
    if (i < 0 || i >= Columns() || grid.nBins <= 0 || !(dHz >= 0))
        return std::numeric_limits<double>::quiet_NaN();
    const double b = dHz / grid.dBinHz;
    if (b > grid.nBins - 1 + 1e-9)
        return std::numeric_limits<double>::quiet_NaN();
    const float* v = Column(i);
    const int b0 = std::min(static_cast<int>(b), grid.nBins - 1);
    const int b1 = std::min(b0 + 1, grid.nBins - 1);
    const double f = b - b0;
    return v[b0] + (v[b1] - v[b0]) * f;
}

void CColumnCache::Use(const CMeasureSound* pSound, const SpectrogramSettings& s)
{
    const SpectrogramSettings& m = m_settings;
    if (pSound == m_pSound && s.dWindowS == m.dWindowS && s.dMaxFrequencyHz == m.dMaxFrequencyHz
        && s.dTimeStepS == m.dTimeStepS)
        return; // the dynamic range only changes the shading
    m_columns.clear();
    m_pSound = pSound;
    m_settings = s;
}

uint64_t CColumnCache::Key(int nLevel, int64_t k)
{
    // A column at an even index of a refined grid is the coarser grid's column.
    while (nLevel > 0 && k % 2 == 0) {
        k /= 2;
        --nLevel;
    }
    return (static_cast<uint64_t>(nLevel) << 56) | (static_cast<uint64_t>(k) & ((uint64_t(1) << 56) - 1));
}

const std::vector<float>* CColumnCache::Find(int nLevel, int64_t k) const
{
    auto it = m_columns.find(Key(nLevel, k));
    return it == m_columns.end() ? nullptr : &it->second;
}

void CColumnCache::Add(int nLevel, int64_t k, const float* pValues, int nBins)
{
    if (m_columns.size() >= kMaxColumns)
        m_columns.clear();
    m_columns[Key(nLevel, k)].assign(pValues, pValues + nBins);
}

int RefineLevel(const PictureRequest& request, int nRate)
{
    const double dSpan = request.dEnd - request.dStart;
    if (!(dSpan > 0) || request.nPixels <= 0 || nRate <= 0)
        return 0;
    const double dPixelS = dSpan / request.nPixels;
    double dStep = request.settings.dTimeStepS;
    int nLevel = 0;
    // Never finer than one sample: a finer step would only repeat columns.
    while (nLevel < 24 && dStep / dPixelS > kMaxColumnPixels && dStep / 2 >= 1.0 / nRate) {
        dStep /= 2;
        ++nLevel;
    }
    return nLevel;
}

std::shared_ptr<CMeasurePicture> ComputePicture(const CMeasureSound& sound, const PictureRequest& request,
                                                CColumnCache& cache, const std::atomic<bool>* pAbort)
{
    if (!CheckSettings(request.settings, sound.Rate()).empty() || request.nPixels <= 0
        || !(request.dEnd > request.dStart))
        return nullptr;
    auto pPicture = std::make_shared<CMeasurePicture>();
    CMeasurePicture& p = *pPicture;
    p.request = request;
    const int nLevel = RefineLevel(request, sound.Rate());
    p.grid = MakeGrid(request.settings, sound.Count(), sound.Rate(), nLevel);
    p.pixelColumn.assign(static_cast<size_t>(request.nPixels), -1);
    cache.Use(&sound, request.settings);

    CColumnComputer computer(p.grid, sound.Samples());
    const double dPixelS = (request.dEnd - request.dStart) / request.nPixels;
    int64_t kLast = -1;
    for (int x = 0; x < request.nPixels; ++x) {
        const int64_t k = p.grid.ColumnAt(request.dStart + (x + 0.5) * dPixelS);
        if (k < 0 || k >= p.grid.nColumns)
            continue;
        if (k != kLast) {
            if (pAbort && (x & 31) == 0 && pAbort->load())
                return nullptr;
            kLast = k;
            p.columnIndex.push_back(k);
            p.values.resize(p.values.size() + static_cast<size_t>(p.grid.nBins));
            float* pOut = p.values.data() + p.values.size() - static_cast<size_t>(p.grid.nBins);
            if (const std::vector<float>* pCached = cache.Find(nLevel, k)) {
                std::copy(pCached->begin(), pCached->end(), pOut);
            } else {
                computer.Compute(k, pOut);
                cache.Add(nLevel, k, pOut, p.grid.nBins);
            }
        }
        p.pixelColumn[static_cast<size_t>(x)] = p.Columns() - 1;
    }
    p.fLoudestDb = LoudestLevel(p.values.data(), p.values.size());
    return pPicture;
}
