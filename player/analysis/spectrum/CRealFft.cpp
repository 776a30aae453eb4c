#include "player/analysis/spectrum/CRealFft.h"

#include <algorithm>
#include <cmath>

#include "player/analysis/spectrum/Fft.h"

CRealFft::CRealFft(int nSize) : m_nSize(nSize), m_nHalf(nSize / 2)
{
    const int h = m_nHalf;
    m_bitReverse = sonavel::spectrum::BitReversal(h);
    for (int m = 0; m < h / 2; ++m) {
        m_cos.push_back(std::cos(2 * M_PI * m / h));
        m_sin.push_back(-std::sin(2 * M_PI * m / h));
    }
    for (int k = 0; k <= h; ++k) {
        m_splitCos.push_back(std::cos(2 * M_PI * k / nSize));
        m_splitSin.push_back(-std::sin(2 * M_PI * k / nSize));
    }
    m_re.resize(static_cast<size_t>(h));
    m_im.resize(static_cast<size_t>(h));
}

void CRealFft::Power(const double* x, double* pPower, int nBins)
{
    const int h = m_nHalf;
    double* re = m_re.data();
    double* im = m_im.data();
    for (int n = 0; n < h; ++n) {
        const int r = m_bitReverse[static_cast<size_t>(n)];
        re[r] = x[2 * n];
        im[r] = x[2 * n + 1];
    }
    int nHalfLog2 = 0;
    while ((1 << nHalfLog2) < h)
        ++nHalfLog2;
    sonavel::spectrum::Butterflies(re, im, nHalfLog2, [this, h](int stage) { return CTableCursor(*this, h >> stage); });
    // Z = E + iO, with E and O the transforms of the even and odd samples:
    // X[k] = E[k] + e^(-2 pi i k / N) O[k].
    const int nEnd = std::min(std::max(nBins, 0), h + 1);
    for (int k = 0; k < nEnd; ++k) {
        // k % h and (h - k) % h, without a division per bin.
        const int k1 = k == h ? 0 : k, k2 = k == 0 ? 0 : h - k;
        const double zr = re[k1], zi = im[k1];
        const double cr = re[k2], ci = -im[k2]; // conj(Z[h - k])
        const double er = 0.5 * (zr + cr), ei = 0.5 * (zi + ci);
        const double dr = zr - cr, di = zi - ci; // O = (Z - conj) / 2i
        const double orr = 0.5 * di, oi = -0.5 * dr;
        const double wr = m_splitCos[static_cast<size_t>(k)], wi = m_splitSin[static_cast<size_t>(k)];
        const double xr = er + wr * orr - wi * oi;
        const double xi = ei + wr * oi + wi * orr;
        pPower[k] = xr * xr + xi * xi;
    }
}
