#include "player/analysis/spectrum/Fft.h"

#include <cmath>

namespace sonavel::spectrum {

namespace {

// Kept as this literal rather than taken from the library, so every build
// computes the same twiddles.
const double kPi = 3.1415926535898;

// The twiddles of one stage of Fft, by rotation: e^(-i theta j) for j = 0, 1, ...
class CRotation {
public:
    explicit CRotation(double theta) : m_c(std::cos(theta)), m_s(-std::sin(theta)) {}
    void Start()
    {
        m_wr = 1.0;
        m_wi = 0.0;
    }
    // j is always the one after the last: the rotation needs no index.
    void At(int, double& wr, double& wi)
    {
        wr = m_wr;
        wi = m_wi;
        const double wrNext = m_wr * m_c - m_wi * m_s;
        m_wi = m_wi * m_c + m_wr * m_s;
        m_wr = wrNext;
    }

private:
    double m_c, m_s;
    double m_wr = 1.0, m_wi = 0.0;
};

} // namespace

std::vector<int> BitReversal(int n)
{
    std::vector<int> order(static_cast<size_t>(n > 0 ? n : 0));
    int nBits = 0;
    while ((1 << nBits) < n)
        ++nBits;
    for (int i = 0; i < n; ++i) {
        int r = 0;
        for (int b = 0; b < nBits; ++b)
            if (i & (1 << b))
                r |= 1 << (nBits - 1 - b);
        order[static_cast<size_t>(i)] = r;
    }
    return order;
}

void Fft(double* re, double* im, int log2n)
{
    if (log2n <= 0 || log2n > 30)
        return;
    const int n = 1 << log2n;

    // Bit-reversal permutation of both arrays together.
    int j = 0;
    for (int i = 0; i < n - 1; ++i) {
        if (i < j) {
            double t = re[i];
            re[i] = re[j];
            re[j] = t;
            t = im[i];
            im[i] = im[j];
            im[j] = t;
        }
        int k = n / 2;
        while (k <= j) {
            j -= k;
            k /= 2;
        }
        j += k;
    }

    // One sine and one cosine per stage; the twiddles within a group come
    // from rotating by the stage's step factor, the same steps for every group.
    Butterflies(re, im, log2n, [](int stage) { return CRotation(kPi / (1 << (stage - 1))); });
}

} // namespace sonavel::spectrum
