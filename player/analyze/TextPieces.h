#pragma once
// Text collected in a buffer and handed on in 64 kB pieces, with numbers as
// printf's "%.Nf" writes them: what every command's writer appends to.
//
// A writer on the stack of one thread; the write function and context are the caller's.
#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>

#include "player/analyze/FixedText.h"
#include "player/analyze/OutputFile.h"

namespace sonavel {
namespace analyze {

class CTextPieces {
public:
    CTextPieces(WriteFn pfnWrite, void* pContext) : m_pfnWrite(pfnWrite), m_pContext(pContext) {}
    CTextPieces(const CTextPieces&) = delete;
    CTextPieces& operator=(const CTextPieces&) = delete;

    CTextPieces& operator<<(const char* sz) { return Append(sz, std::strlen(sz)); }
    CTextPieces& operator<<(const std::string& s) { return Append(s.data(), s.size()); }
    CTextPieces& operator<<(char c)
    {
        m_text[m_nUsed++] = c;
        return Check();
    }
    CTextPieces& Int(long long n)
    {
        m_nUsed = static_cast<size_t>(std::to_chars(m_text + m_nUsed, m_text + sizeof m_text, n).ptr - m_text);
        return Check();
    }
    CTextPieces& Fixed(double d, int nDecimals)
    {
        m_nUsed = static_cast<size_t>(FixedText(m_text + m_nUsed, d, nDecimals) - m_text);
        return Check();
    }
    // Shortest text that reads back as the same double.
    CTextPieces& Exact(double d)
    {
        m_nUsed = static_cast<size_t>(std::to_chars(m_text + m_nUsed, m_text + sizeof m_text, d).ptr - m_text);
        return Check();
    }
    // Hands on what is left; false when any piece could not be written.
    bool Finish()
    {
        Flush();
        return m_bOk;
    }

protected:
    // A piece is handed on once this much is collected; any one item appended
    // after that fits in the rest of the buffer.
    static constexpr size_t kPiece = 64 * 1024;
    static_assert(kFixedTextRoom <= 512, "a number fits past a piece");

    CTextPieces& Append(const char* p, size_t n)
    {
        while (n > 0) {
            const size_t nTake = std::min(n, sizeof m_text - m_nUsed);
            std::memcpy(m_text + m_nUsed, p, nTake);
            m_nUsed += nTake;
            p += nTake;
            n -= nTake;
            if (n > 0)
                Flush();
        }
        return Check();
    }
    CTextPieces& Check()
    {
        if (m_nUsed >= kPiece)
            Flush();
        return *this;
    }
    void Flush()
    {
        if (m_bOk && m_nUsed > 0)
            m_bOk = m_pfnWrite(m_pContext, m_text, m_nUsed);
        m_nUsed = 0;
    }

    char m_text[kPiece + 512];
    size_t m_nUsed = 0;

private:
    WriteFn m_pfnWrite;
    void* m_pContext;
    bool m_bOk = true;
};

} // namespace analyze
} // namespace sonavel
