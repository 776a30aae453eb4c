#pragma once
// Where the pitch tracker's frame search gets the samples of each block: from
// memory that holds the whole sound, or from somewhere that copies a block into
// the searching thread's own buffer (a file read piece by piece).
#include <cstdint>

class CSampleSource {
public:
    virtual ~CSampleSource() = default;

    // False when the source hands out views of its own memory and never
    // writes the buffer Fetch is given (then none need be made).
    virtual bool NeedsBuffer() const = 0;

    // Samples nFirst .. nFirst + nCount - 1, all inside the sound: a view of the
    // source's memory, or pBuffer (room for nCount) filled. nullptr when they
    // cannot be had (a read failed or the file is shorter than it was). May be
    // called from several threads at once, each with its own buffer.
    virtual const int16_t* Fetch(int nFirst, int nCount, int16_t* pBuffer) const = 0;
};

// The whole sound in memory: Fetch hands out views, nothing is copied.
class CMemorySamples : public CSampleSource {
public:
    CMemorySamples(const int16_t* pSamples, int nCount) : m_pSamples(pSamples), m_nCount(nCount) {}
    bool NeedsBuffer() const override { return false; }
    const int16_t* Fetch(int nFirst, int nCount, int16_t*) const override
    {
        if (!m_pSamples || nFirst < 0 || nCount < 0 || nFirst > m_nCount - nCount)
            return nullptr;
        return m_pSamples + nFirst;
    }

private:
    const int16_t* m_pSamples;
    int m_nCount;
};

// Samples nOffset on of another source, as a sound of their own (a span
// measured alone); source must outlive it.
class COffsetSamples : public CSampleSource {
public:
    COffsetSamples(const CSampleSource& source, int nOffset) : m_source(source), m_nOffset(nOffset) {}
    bool NeedsBuffer() const override { return m_source.NeedsBuffer(); }
    const int16_t* Fetch(int nFirst, int nCount, int16_t* pBuffer) const override
    {
        return m_source.Fetch(nFirst + m_nOffset, nCount, pBuffer);
    }

private:
    const CSampleSource& m_source;
    int m_nOffset;
};
