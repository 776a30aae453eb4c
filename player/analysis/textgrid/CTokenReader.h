#pragma once
// The pieces a TextGrid file is made of, one at a time: numbers, quoted texts
// and flags (<exists>). The long and the short text forms hold the same pieces;
// the long one only adds words around them ("xmin =", "item [1]:"), which are
// skipped, as are comments from "!" to the end of the line.
//
// Reads the text it is given, which must outlive it; one thread at a time.
#include <string>
#include <string_view>

namespace sonavel::textgrid {

enum class ETokenKind {
    Number,
    Text, // a quoted text, its doubled quotes made single
    Flag, // <exists>, <absent>: the word between the brackets
    End,  // nothing more in the file
};

struct Token {
    ETokenKind eKind = ETokenKind::End;
    double dValue = 0;    // a number's value
    std::string strText;  // a text's or a flag's content, a number's word
    int nLine = 0;        // where it begins, 1 the first line
};

class CTokenReader {
public:
    // text: UTF-8 with LF line ends (DecodeText); it must outlive the reader.
    explicit CTokenReader(std::string_view text) : m_text(text) {}

    // The next piece. False when the text is malformed at that point (a text
    // or flag that never closes, a number that cannot be read), with the line
    // in token.nLine and strWhy saying what is wrong.
    bool Next(Token& token, std::string& strWhy);

    // The line the reader has come to.
    int Line() const { return m_nLine; }

private:
    void SkipSpaceAndComments();
    bool ReadText(Token& token, std::string& strWhy);

    std::string_view m_text;
    std::size_t m_nPos = 0;
    int m_nLine = 1;
    int m_nLastLine = 1; // where the last word, number, text or flag ended
};

} // namespace sonavel::textgrid
