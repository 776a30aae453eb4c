#include "player/analysis/measureview/CMeasurePicture.h"
#include "common/SplitWork.h"
#include "player/analysis/core/AnalysisBudget.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>
#include <thread>

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

int CMeasurePicture::ColumnAtTime(double t) const
{
    const double dSpan = request.dEnd - request.dStart;
    if (!(dSpan > 0) || !std::isfinite(t))
        return -1;
    const double x = std::floor((t - request.dStart) / dSpan * request.nPixels);
    return x >= 0 && x < static_cast<double>(pixelColumn.size()) ? ColumnAtPixel(static_cast<int>(x)) : -1;
}

void CColumnCache::Use(uint64_t nSoundIdentity, const SpectrogramSettings& s)
{
    if (nSoundIdentity == m_nSoundIdentity && SameColumns(s, m_settings))
        return;
    m_columns.clear();
    m_nValues = 0;
    m_nSoundIdentity = nSoundIdentity;
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
    if (m_nValues + static_cast<size_t>(nBins) > kMaxValues) {
        m_columns.clear();
        m_nValues = 0;
    }
    // Copied before the map changes: a copy that cannot be had leaves the
    // cache as it was, never an empty column under the key.
    std::vector<float> values(pValues, pValues + nBins);
    std::vector<float>& column = m_columns[Key(nLevel, k)];
    m_nValues += values.size() - column.size();
    column.swap(values);
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

namespace {

// The time at the centre of pixel x of request's picture.
double PixelTime(const PictureRequest& request, int x)
{
    return request.dStart + (x + 0.5) * ((request.dEnd - request.dStart) / request.nPixels);
}

// The grid's columns [first, end) that the request's pixels show.
std::pair<int64_t, int64_t> ShownColumns(const SpectrogramGrid& grid, const PictureRequest& request)
{
    if (request.nPixels <= 0)
        return {0, 0};
    // Time grows with the pixel, so the first and last pixels bound the rest.
    const int64_t k0 = std::max<int64_t>(grid.ColumnAt(PixelTime(request, 0)), 0);
    const int64_t k1 = std::min<int64_t>(grid.ColumnAt(PixelTime(request, request.nPixels - 1)) + 1, grid.nColumns);
    return {k0, std::max(k0, k1)};
}

std::shared_ptr<CMeasurePicture> Failed(const PictureRequest& request, const std::string& strWhy)
{
    auto pPicture = std::make_shared<CMeasurePicture>();
    pPicture->request = request;
    pPicture->strFailure = strWhy;
    return pPicture;
}

// Empty when a picture of nPixels over grid stays within the analysis
// budget, else why not. Counted before anything is allocated: each pixel's
// column number, and at most one column per pixel with its index, its place
// in the missing list and its levels.
std::string OverBudget(const SpectrogramGrid& grid, int nPixels)
{
    const uint64_t nColumns = std::min<uint64_t>(static_cast<uint64_t>(nPixels), static_cast<uint64_t>(grid.nColumns));
    const uint64_t nBytes = uint64_t(nPixels) * sizeof(int)
                            + nColumns * (sizeof(int64_t) + sizeof(int) + uint64_t(grid.nBins) * sizeof(float));
    if (nBytes <= sonavel::analysis::kGridBudgetBytes)
        return std::string();
    return "the picture would take " + std::to_string(nBytes >> 20) + " MiB, more than the "
           + std::to_string(sonavel::analysis::kGridBudgetBytes >> 20) + " MiB one grid may take";
}

std::shared_ptr<CMeasurePicture> MakePicture(const CMeasureSound& sound, const PictureRequest& request,
                                             CColumnCache& cache, int nThreads, const std::atomic<bool>* pCancel)
{
    const int nLevel = RefineLevel(request, sound.Rate());
    const SpectrogramGrid grid = MakeGrid(request.settings, sound.Count(), sound.Rate(), nLevel);
    const std::string strOver = OverBudget(grid, request.nPixels);
    if (!strOver.empty())
        return Failed(request, strOver);
    // A stretch held for another picture would read as silence beyond its ends.
    const auto [k0, k1] = ShownColumns(grid, request);
    const auto [nFirstRead, nEndRead] = ColumnSamples(grid, k0, k1);
    if (nEndRead > nFirstRead
        && (nFirstRead < sound.FirstHeld() || nEndRead > sound.FirstHeld() + sound.HeldCount()))
        return Failed(request, "the samples of this stretch are not held");
    auto pPicture = std::make_shared<CMeasurePicture>();
    CMeasurePicture& p = *pPicture;
    p.request = request;
    p.grid = grid;
    p.pixelColumn.assign(static_cast<size_t>(request.nPixels), -1);
    cache.Use(sound.Identity(), request.settings);

    // Which column each pixel shows.
    for (int x = 0; x < request.nPixels; ++x) {
        const int64_t k = p.grid.ColumnAt(PixelTime(request, x));
        if (k < 0 || k >= p.grid.nColumns)
            continue;
        if (p.columnIndex.empty() || p.columnIndex.back() != k)
            p.columnIndex.push_back(k);
        p.pixelColumn[static_cast<size_t>(x)] = p.Columns() - 1;
    }
    // The columns seen before come from the cache, the others are computed,
    // split between the threads.
    const size_t nBins = static_cast<size_t>(p.grid.nBins);
    p.values.resize(p.columnIndex.size() * nBins);
    std::vector<int> missing;
    for (int i = 0; i < p.Columns(); ++i) {
        if (const std::vector<float>* pCached = cache.Find(nLevel, p.columnIndex[static_cast<size_t>(i)]))
            std::copy(pCached->begin(), pCached->end(), p.values.begin() + static_cast<ptrdiff_t>(i * nBins));
        else
            missing.push_back(i);
    }
    auto compute = [&](size_t a, size_t b) {
        CColumnComputer computer(p.grid, sound.HeldSamples(), sound.FirstHeld(), sound.HeldCount());
        for (size_t m = a; m < b; ++m) {
            if (pCancel && pCancel->load(std::memory_order_relaxed))
                return;
            const int i = missing[m];
            computer.Compute(p.columnIndex[static_cast<size_t>(i)], p.values.data() + i * nBins);
        }
    };
    nThreads = std::max(1, std::min(nThreads, static_cast<int>(missing.size() / 32) + 1));
    sonavel::RunSplit(missing.size(), nThreads, compute);
    // A cancelled picture's columns are not all there: none reaches the cache.
    if (pCancel && pCancel->load())
        return nullptr;
    for (int i : missing)
        cache.Add(nLevel, p.columnIndex[static_cast<size_t>(i)], p.Column(i), p.grid.nBins);
    p.fTopDb = ShadingTop(p.values.data(), p.values.size());
    return pPicture;
}

} // namespace

std::pair<int64_t, int64_t> PictureSamples(const PictureRequest& request, int64_t nCount, int nRate)
{
    if (CheckSettings(request.settings, nRate) || request.nPixels <= 0 || !(request.dEnd > request.dStart))
        return {0, 0};
    const SpectrogramGrid grid = MakeGrid(request.settings, nCount, nRate, RefineLevel(request, nRate));
    const auto [k0, k1] = ShownColumns(grid, request);
    return ColumnSamples(grid, k0, k1);
}

std::shared_ptr<CMeasurePicture> ComputePicture(const CMeasureSound& sound, const PictureRequest& request,
                                                CColumnCache& cache, int nThreads, const std::atomic<bool>* pCancel)
{
    if (CheckSettings(request.settings, sound.Rate()) || request.nPixels <= 0
        || !(request.dEnd > request.dStart))
        return nullptr;
    try {
        return MakePicture(sound, request, cache, nThreads, pCancel);
    } catch (const std::bad_alloc&) {
        return Failed(request, "not enough memory");
    } catch (const std::length_error&) { // a size no allocator takes
        return Failed(request, "not enough memory");
    } catch (const std::exception& e) {
        return Failed(request, e.what());
    }
}
