#pragma once
// Power spectrum of a block of real samples: the analysis window's radix-2
// butterflies (Fft.h) at half the size, on the even and odd samples packed as
// complex pairs, with twiddles from a table, then the split into the real
// signal's bins. Its tables are made once per size, so one object serves every
// frame of a spectrogram. One thread at a time per object.
#include <cstddef>
#include <vector>

class CRealFft {
public:
    // nSize: a power of two, at least 4.
    explicit CRealFft(int nSize);

    int Size() const { return m_nSize; }

    // |X[k]|^2 for k = 0 .. Size()/2 of the Size() real values in x (no scaling).
    void Power(const double* x, double* pPower) { Power(x, pPower, m_nHalf + 1); }
    // The same for the first nBins of them only (at most Size()/2 + 1): a
    // spectrogram up to 5 kHz of a 44.1 kHz sound needs under a quarter.
    void Power(const double* x, double* pPower, int nBins);

private:
    // A stage's twiddles from the tables: every nStride-th entry from the first.
    class CTableCursor {
    public:
        CTableCursor(const CRealFft& fft, int nStride)
            : m_pCos(fft.m_cos.data()), m_pSin(fft.m_sin.data()), m_nStride(nStride)
        {
        }
        void Start() {}
        void At(int j, double& wr, double& wi) const
        {
            wr = m_pCos[static_cast<size_t>(j * m_nStride)];
            wi = m_pSin[static_cast<size_t>(j * m_nStride)];
        }

    private:
        const double* m_pCos;
        const double* m_pSin;
        int m_nStride;
    };

    int m_nSize;
    int m_nHalf;
    std::vector<int> m_bitReverse;           // over the half-size transform
    std::vector<double> m_cos, m_sin;        // e^(-2 pi i m / half), m < half / 2
    std::vector<double> m_splitCos, m_splitSin; // e^(-2 pi i k / size), k <= half
    std::vector<double> m_re, m_im;
};
