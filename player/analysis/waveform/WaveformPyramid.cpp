#include "player/analysis/waveform/WaveformPyramid.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>

#include "player/analysis/core/CSampleSource.h"

namespace sonavel::waveform {

namespace {

// Samples read at a time while building: whole finest blocks, 1 MB.
constexpr int kReadBlocks = 8192;

MinMax Scan(const int16_t* p, int64_t n)
{
    MinMax r;
    int16_t lo = INT16_MAX, hi = INT16_MIN;
    for (int64_t i = 0; i < n; ++i) {
        lo = std::min(lo, p[i]);
        hi = std::max(hi, p[i]);
    }
    r.nMin = lo;
    r.nMax = hi;
    return r;
}

int64_t BlockSize(size_t nLevel)
{
    return int64_t(CWaveformPyramid::kBaseBlock) << (2 * nLevel);
}

} // namespace

analysis::SoundOutcome CWaveformPyramid::Build(const analysis::CSoundInput& input)
{
    return analysis::AnalyseSound(
        input, [this](const CSampleSource& source, int nCount, int) { return BuildFrom(source, nCount); });
}

analysis::EOutcome CWaveformPyramid::BuildFrom(const CSampleSource& source, int nCount)
{
    m_levels.clear();
    m_nCount = 0;
    try {
        std::vector<MinMax> base(static_cast<size_t>((std::max(nCount, 0) + kBaseBlock - 1) / kBaseBlock));
        std::vector<int16_t> buffer(source.NeedsBuffer() ? size_t(kReadBlocks) * kBaseBlock : 0);
        for (int nFirst = 0; nFirst < nCount; nFirst += kReadBlocks * kBaseBlock) {
            const int n = std::min(nCount - nFirst, kReadBlocks * kBaseBlock);
            const int16_t* p = source.Fetch(nFirst, n, buffer.data());
            if (!p)
                return analysis::EOutcome::SourceFailed;
            for (int i = 0; i < n; i += kBaseBlock)
                base[static_cast<size_t>((nFirst + i) / kBaseBlock)] = Scan(p + i, std::min(kBaseBlock, n - i));
        }
        m_levels.push_back(std::move(base));
        while (m_levels.back().size() > 1) {
            const std::vector<MinMax>& below = m_levels.back();
            std::vector<MinMax> level((below.size() + kFanOut - 1) / kFanOut);
            for (size_t k = 0; k < below.size(); ++k)
                level[k / kFanOut].Add(below[k]);
            m_levels.push_back(std::move(level));
        }
    } catch (const std::bad_alloc&) {
        m_levels.clear();
        return analysis::EOutcome::NoMemory;
    } catch (const std::length_error&) {
        m_levels.clear();
        return analysis::EOutcome::NoMemory;
    }
    m_nCount = std::max(nCount, 0);
    return analysis::EOutcome::Done;
}

MinMax CWaveformPyramid::Blocks(size_t nLevel, int64_t k0, int64_t k1) const
{
    MinMax r;
    const std::vector<MinMax>& level = m_levels[nLevel];
    for (int64_t k = k0; k < k1; ++k)
        r.Add(level[static_cast<size_t>(k)]);
    return r;
}

MinMax CWaveformPyramid::Edge(int64_t a, int64_t b, const HeldSamples& held) const
{
    if (b <= a)
        return MinMax();
    if (held.Holds(a, b))
        return Scan(held.pSamples + (a - held.nFirst), b - a);
    // Not held (render --view of a wide stretch): the finest blocks around it.
    return Blocks(0, a / kBaseBlock, (b + kBaseBlock - 1) / kBaseBlock);
}

MinMax CWaveformPyramid::Range(int64_t nFirst, int64_t nEnd, const HeldSamples& held) const
{
    // The same extremes the blocks would give, from the samples themselves.
    if (nEnd > nFirst && nEnd - nFirst <= kDirectScanSamples && held.Holds(nFirst, nEnd))
        return Scan(held.pSamples + (nFirst - held.nFirst), nEnd - nFirst);
    nFirst = std::clamp<int64_t>(nFirst, 0, m_nCount);
    nEnd = std::clamp<int64_t>(nEnd, nFirst, m_nCount);
    MinMax r;
    if (m_levels.empty() || nEnd <= nFirst)
        return r;
    // The coarsest level with a whole block inside; the two edges left over
    // are each shorter than its block and are covered the same way one level
    // down at a time (at most three blocks a level), the rest from samples.
    for (size_t nLevel = m_levels.size(); nLevel-- > 0;) {
        const int64_t nBlock = BlockSize(nLevel);
        const int64_t k0 = (nFirst + nBlock - 1) / nBlock, k1 = nEnd / nBlock;
        if (k1 <= k0)
            continue;
        r.Add(Blocks(nLevel, k0, k1));
        int64_t nLeftEnd = k0 * nBlock, nRightStart = k1 * nBlock;
        for (size_t l = nLevel; l-- > 0;) {
            const int64_t nSmall = BlockSize(l);
            const int64_t kLeft = (nFirst + nSmall - 1) / nSmall;
            r.Add(Blocks(l, kLeft, nLeftEnd / nSmall));
            nLeftEnd = std::min(nLeftEnd, kLeft * nSmall);
            const int64_t kRight = nEnd / nSmall;
            r.Add(Blocks(l, nRightStart / nSmall, kRight));
            nRightStart = std::max(nRightStart, kRight * nSmall);
        }
        r.Add(Edge(nFirst, nLeftEnd, held));
        r.Add(Edge(nRightStart, nEnd, held));
        return r;
    }
    r.Add(Edge(nFirst, nEnd, held));
    return r;
}

int64_t SampleAtOrAfter(double t, int nRate)
{
    const double d = std::ceil(t * nRate - 1e-9);
    return d <= 0 ? 0 : d >= 9e18 ? INT64_MAX : static_cast<int64_t>(d);
}

std::vector<MinMax> PixelColumns(const CWaveformPyramid& pyramid, const HeldSamples& held, double dStart, double dEnd,
                                 int nPixels, int nRate)
{
    std::vector<MinMax> columns(static_cast<size_t>(std::max(nPixels, 0)));
    if (nPixels <= 0 || nRate <= 0 || !(dEnd > dStart))
        return columns;
    const double dPixelS = (dEnd - dStart) / nPixels;
    int64_t nFrom = SampleAtOrAfter(dStart, nRate);
    for (int x = 0; x < nPixels; ++x) {
        const int64_t nTo = SampleAtOrAfter(dStart + (x + 1) * dPixelS, nRate);
        if (nTo > nFrom)
            columns[static_cast<size_t>(x)] = pyramid.Range(nFrom, nTo, held);
        nFrom = std::max(nFrom, nTo);
    }
    return columns;
}

} // namespace sonavel::waveform
