#include "player/analysis/voice/CCepstrumFft.h"

#include <cmath>

#include "player/analysis/spectrum/Fft.h"
#include "player/analysis/voice/Avx2.h"

namespace sonavel::voice {

namespace {

// The butterflies of every stage over the n (>= 4) points in re/im, which are
// in bit-reversed order.
SONAVEL_VOICE_INLINE void Stages(double* re, double* im, int n, const double* twRe, const double* twIm)
{
    // The first two stages at once: their twiddles are 1 and -i.
    for (int i = 0; i < n; i += 4) {
        const double a0r = re[i] + re[i + 1], a0i = im[i] + im[i + 1];
        const double a1r = re[i] - re[i + 1], a1i = im[i] - im[i + 1];
        const double a2r = re[i + 2] + re[i + 3], a2i = im[i + 2] + im[i + 3];
        const double a3r = re[i + 2] - re[i + 3], a3i = im[i + 2] - im[i + 3];
        re[i] = a0r + a2r;
        im[i] = a0i + a2i;
        re[i + 2] = a0r - a2r;
        im[i + 2] = a0i - a2i;
        re[i + 1] = a1r + a3i;
        im[i + 1] = a1i - a3r;
        re[i + 3] = a1r - a3i;
        im[i + 3] = a1i + a3r;
    }
    for (int h = 4; h < n; h *= 2) {
        const double* wr = twRe + h;
        const double* wi = twIm + h;
        for (int i = 0; i < n; i += 2 * h) {
            double* ar = re + i;
            double* ai = im + i;
            double* br = ar + h;
            double* bi = ai + h;
#pragma omp simd
            for (int j = 0; j < h; ++j) {
                const double tr = wr[j] * br[j] - wi[j] * bi[j];
                const double ti = wr[j] * bi[j] + wi[j] * br[j];
                br[j] = ar[j] - tr;
                bi[j] = ai[j] - ti;
                ar[j] += tr;
                ai[j] += ti;
            }
        }
    }
}

void StagesPlain(double* re, double* im, int n, const double* twRe, const double* twIm)
{
    Stages(re, im, n, twRe, twIm);
}

SONAVEL_VOICE_AVX2 void StagesAvx2(double* re, double* im, int n, const double* twRe, const double* twIm)
{
    Stages(re, im, n, twRe, twIm);
}

} // namespace

CCepstrumFft::CCepstrumFft(int nSize) : m_nSize(nSize), m_nHalf(nSize / 2)
{
    const int h = m_nHalf;
    m_bitReverse = sonavel::spectrum::BitReversal(h);
    m_twRe.assign(size_t(h), 0.0);
    m_twIm.assign(size_t(h), 0.0);
    for (int s = 1; s < h; s *= 2)
        for (int j = 0; j < s; ++j) {
            m_twRe[size_t(s + j)] = std::cos(M_PI * j / s);
            m_twIm[size_t(s + j)] = -std::sin(M_PI * j / s);
        }
    for (int k = 0; k <= h; ++k) {
        m_splitCos.push_back(std::cos(2 * M_PI * k / nSize));
        m_splitSin.push_back(-std::sin(2 * M_PI * k / nSize));
    }
    m_re.resize(size_t(h));
    m_im.resize(size_t(h));
}

void CCepstrumFft::Power(const double* x, double* pPower)
{
    const int h = m_nHalf;
    double* re = m_re.data();
    double* im = m_im.data();
    for (int n = 0; n < h; ++n) {
        const int r = m_bitReverse[size_t(n)];
        re[r] = x[2 * n];
        im[r] = x[2 * n + 1];
    }
    if (HasAvx2())
        StagesAvx2(re, im, h, m_twRe.data(), m_twIm.data());
    else
        StagesPlain(re, im, h, m_twRe.data(), m_twIm.data());
    // Z = E + iO, with E and O the transforms of the even and odd values:
    // X[k] = E[k] + e^(-2 pi i k / N) O[k].
    for (int k = 0; k <= h; ++k) {
        const int k1 = k == h ? 0 : k, k2 = k == 0 ? 0 : h - k;
        const double zr = re[k1], zi = im[k1];
        const double cr = re[k2], ci = -im[k2];
        const double er = 0.5 * (zr + cr), ei = 0.5 * (zi + ci);
        const double orr = 0.5 * (zi - ci), oi = -0.5 * (zr - cr);
        const double wr = m_splitCos[size_t(k)], wi = m_splitSin[size_t(k)];
        const double xr = er + wr * orr - wi * oi;
        const double xi = ei + wr * oi + wi * orr;
        pPower[k] = xr * xr + xi * xi;
    }
}

} // namespace sonavel::voice
