#include "player/analysis/textgrid/CTokenReader.h"

#include "player/analysis/textgrid/TextGridNumbers.h"
#include "player/analysis/textgrid/TextGridText.h"

namespace sonavel::textgrid {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\f' || c == '\v'; }

} // namespace

void CTokenReader::SkipSpaceAndComments()
{
    while (m_nPos < m_text.size()) {
        const char c = m_text[m_nPos];
        if (c == '\n') {
            ++m_nLine;
            ++m_nPos;
        } else if (IsSpace(c)) {
            ++m_nPos;
        } else if (c == '!') {
            const std::size_t nEnd = m_text.find('\n', m_nPos);
            m_nPos = nEnd == std::string_view::npos ? m_text.size() : nEnd;
        } else {
            return;
        }
    }
}

bool CTokenReader::ReadText(Token& token, std::string& strWhy)
{
    // A quote inside the text is written twice; a text may span lines.
    token.eKind = ETokenKind::Text;
    token.strText.clear();
    ++m_nPos;
    int nLines = 0;
    for (;;) {
        const std::size_t nQuote = m_text.find('"', m_nPos);
        if (nQuote == std::string_view::npos) {
            strWhy = "a text that begins here never ends (no closing \")";
            return false;
        }
        const std::string_view part = m_text.substr(m_nPos, nQuote - m_nPos);
        for (char c : part)
            nLines += c == '\n';
        token.strText.append(part);
        m_nPos = nQuote + 1;
        if (m_nPos < m_text.size() && m_text[m_nPos] == '"') {
            token.strText += '"';
            ++m_nPos;
        } else {
            m_nLine += nLines;
            m_nLastLine = m_nLine;
            return true;
        }
    }
}

bool CTokenReader::Next(Token& token, std::string& strWhy)
{
    for (;;) {
        SkipSpaceAndComments();
        token.nLine = m_nLine;
        if (m_nPos >= m_text.size()) {
            // The end is blamed on the last line that holds anything, not on
            // the empty one after the final line break.
            token.eKind = ETokenKind::End;
            token.strText.clear();
            token.nLine = m_nLastLine;
            return true;
        }
        const char c = m_text[m_nPos];
        if (c == '"')
            return ReadText(token, strWhy);
        if (c == '<') {
            const std::size_t nClose = m_text.find_first_of(">\n", m_nPos);
            if (nClose == std::string_view::npos || m_text[nClose] != '>') {
                strWhy = "a flag that begins here never ends (no closing >)";
                return false;
            }
            token.eKind = ETokenKind::Flag;
            token.strText.assign(m_text.substr(m_nPos + 1, nClose - m_nPos - 1));
            m_nPos = nClose + 1;
            m_nLastLine = m_nLine;
            return true;
        }
        // A word runs to the next space or quote.
        std::size_t nEnd = m_nPos;
        while (nEnd < m_text.size() && !IsSpace(m_text[nEnd]) && m_text[nEnd] != '"')
            ++nEnd;
        const std::string_view word = m_text.substr(m_nPos, nEnd - m_nPos);
        m_nPos = nEnd;
        m_nLastLine = m_nLine;
        if (!LooksLikeNumber(word))
            continue;
        token.eKind = ETokenKind::Number;
        token.strText.assign(word);
        if (!ReadNumber(word, token.dValue)) {
            strWhy = "the number " + ShownText(word) + " cannot be read";
            return false;
        }
        return true;
    }
}

} // namespace sonavel::textgrid
