#include "player/analysis/textgrid/TextGridReader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <new>

#include "common/InputFile.h"
#include "player/analysis/textgrid/CTokenReader.h"
#include "player/analysis/textgrid/TextGridCheck.h"
#include "player/analysis/textgrid/TextGridNumbers.h"
#include "player/analysis/textgrid/TextGridText.h"

namespace sonavel::textgrid {

namespace {

// The largest count read; more cannot be addressed by the callers' int indexes
// and no file of this world holds that many intervals.
constexpr double kMaxCount = 2147483647.0;

// The first line of every text TextGrid names its file type; a file whose
// first bytes say otherwise is not read further (it may be a large sound).
constexpr std::size_t kHeadBytes = 1024;

ReadResult Failure(EReadFailure eFailure, int nLine, std::string strWhat)
{
    ReadResult result;
    result.eFailure = eFailure;
    result.nLine = nLine;
    result.strWhat = std::move(strWhat);
    return result;
}

// Whether the first bytes can begin a text TextGrid, and why not.
bool HeadLooksRight(std::string_view bytes, std::string& strWhy)
{
    if (bytes.substr(0, 12) == "ooBinaryFile") {
        strWhy = "a binary Praat file: only the text forms are read (save it as a text file)";
        return false;
    }
    std::string head;
    int nLine = 0;
    std::string strIgnored;
    // A cut may fall inside a character: decode what comes before it.
    std::string_view cut = bytes.substr(0, kHeadBytes);
    while (!cut.empty() && !DecodeText(cut, head, nLine, strIgnored))
        cut.remove_suffix(1);
    const std::string firstLine = head.substr(0, head.find('\n'));
    if (firstLine.find("\"ooTextFile") == std::string::npos) {
        strWhy = "not a TextGrid file (its first line is not File type = \"ooTextFile\")";
        return false;
    }
    return true;
}

// A fixed name for a piece, in the form the parser's Number and Text take
// (a function that gives the name when a message needs it).
auto Say(std::string strWhat)
{
    return [strWhat = std::move(strWhat)]() { return strWhat; };
}

class CGridParser {
public:
    CGridParser(std::string_view text, ReadResult& result) : m_tokens(text), m_result(result) {}

    bool Parse()
    {
        std::string strType;
        if (!Text(strType, Say("the file type")))
            return false;
        if (strType != "ooTextFile" && strType != "ooTextFile short")
            return Fail(EReadFailure::NotTextGrid, "not a TextGrid file (file type " + ShownText(strType) + ")");
        std::string strClass;
        if (!Text(strClass, Say("the object class")))
            return false;
        if (strClass.rfind("TextGrid", 0) == 0 && strClass != "TextGrid")
            return Fail(EReadFailure::NotTextGrid, "a TextGrid of a later format (" + ShownText(strClass) + ")");
        if (strClass != "TextGrid")
            return Fail(EReadFailure::NotTextGrid, "not a TextGrid but a " + ShownText(strClass));

        TextGrid& grid = m_result.grid;
        if (!Number(grid.dStart, Say("the start of the grid")) || !Number(grid.dEnd, Say("the end of the grid")))
            return false;
        if (!Check(GridRangeProblem(grid)))
            return false;
        if (!Next())
            return false;
        if (m_token.eKind != ETokenKind::Flag || (m_token.strText != "exists" && m_token.strText != "absent"))
            return Expected("whether the grid has tiers (<exists>)");
        std::size_t nTiers = 0;
        if (m_token.strText == "exists" && !Count(nTiers, Say("the number of tiers")))
            return false;
        for (std::size_t t = 0; t < nTiers; ++t)
            if (!ReadTier(t, nTiers))
                return false;
        if (!Next())
            return false;
        if (m_token.eKind != ETokenKind::End)
            return Fail(EReadFailure::Malformed, "more follows the last tier (" + Found() + "): a count is too small");
        return true;
    }

private:
    bool ReadTier(std::size_t t, std::size_t nTiers)
    {
        const std::string strTier = "tier " + std::to_string(t + 1) + " (of " + std::to_string(nTiers) + ")";
        Tier tier;
        std::string strKind;
        if (!Text(strKind, Say("the kind of " + strTier)))
            return false;
        if (strKind == "IntervalTier")
            tier.eKind = ETierKind::Interval;
        else if (strKind == "TextTier")
            tier.eKind = ETierKind::Point;
        else
            return Fail(EReadFailure::Malformed, strTier + " is of the kind " + ShownText(strKind) +
                                                     " (IntervalTier or TextTier are known)");
        if (!Text(tier.strName, Say("the name of " + strTier)) || !Number(tier.dStart, Say("the start of " + strTier)) ||
            !Number(tier.dEnd, Say("the end of " + strTier)))
            return false;
        const std::string strTitle = TierTitle(t, tier);
        if (!Check(TierRangeProblem(m_result.grid, tier), strTitle))
            return false;
        const bool bIntervals = tier.eKind == ETierKind::Interval;
        std::size_t nItems = 0;
        if (!Count(nItems, Say(std::string("the number of ") + (bIntervals ? "intervals" : "points") + " of " + strTitle)))
            return false;
        for (std::size_t i = 0; i < nItems; ++i) {
            // Named only when a message needs it: a large tier is read without
            // building a text per piece.
            const auto item = [&, i](const char* szPart) {
                return [&, i, szPart]() {
                    return std::string(szPart) + (bIntervals ? "interval " : "point ") + std::to_string(i + 1) +
                           " (of " + std::to_string(nItems) + ") of " + strTitle;
                };
            };
            if (bIntervals) {
                Interval& cur = tier.intervals.emplace_back();
                if (!Number(cur.dStart, item("the start of ")))
                    return false;
                const int nLine = m_token.nLine;
                if (!Number(cur.dEnd, item("the end of ")) || !Text(cur.strLabel, item("the label of ")))
                    return false;
                m_nCheckLine = nLine;
                if (!Check(IntervalProblem(tier, i), strTitle))
                    return false;
            } else {
                Point& cur = tier.points.emplace_back();
                if (!Number(cur.dTime, item("the time of ")))
                    return false;
                m_nCheckLine = m_token.nLine;
                if (!Text(cur.strLabel, item("the label of ")) || !Check(PointProblem(tier, i), strTitle))
                    return false;
            }
        }
        if (!Check(TierEndProblem(tier), strTitle))
            return false;
        m_result.grid.tiers.push_back(std::move(tier));
        return true;
    }

    bool Fail(EReadFailure eFailure, std::string strWhat)
    {
        m_result.eFailure = eFailure;
        m_result.nLine = m_nCheckLine ? m_nCheckLine : m_token.nLine;
        m_result.strWhat = std::move(strWhat);
        return false;
    }

    // A check's answer: the fault at the line of what was just read.
    bool Check(const std::string& strProblem, const std::string& strTitle = {})
    {
        if (strProblem.empty()) {
            m_nCheckLine = 0;
            return true;
        }
        return Fail(EReadFailure::Malformed, strTitle.empty() ? strProblem : strTitle + ": " + strProblem);
    }

    bool Next()
    {
        std::string strWhy;
        return m_tokens.Next(m_token, strWhy) || Fail(EReadFailure::Malformed, strWhy);
    }

    std::string Found() const
    {
        switch (m_token.eKind) {
        case ETokenKind::Number: return "found the number " + FormatNumber(m_token.dValue);
        case ETokenKind::Text: return "found the text " + ShownText(m_token.strText);
        case ETokenKind::Flag: return "found the flag " + ShownText("<" + m_token.strText + ">");
        case ETokenKind::End: break;
        }
        return "the file ends";
    }

    bool Expected(const std::string& strWhat)
    {
        if (m_token.eKind == ETokenKind::End)
            return Fail(EReadFailure::Malformed, "the file ends before " + strWhat);
        return Fail(EReadFailure::Malformed, "expected " + strWhat + ", " + Found());
    }

    template <typename FWhat>
    bool Number(double& dValue, const FWhat& what)
    {
        if (!Next())
            return false;
        if (m_token.eKind != ETokenKind::Number)
            return Expected(what() + " (a number)");
        if (!std::isfinite(m_token.dValue))
            return Fail(EReadFailure::Malformed, what() + " is not a finite number (" + ShownText(m_token.strText) + ")");
        dValue = m_token.dValue;
        return true;
    }

    template <typename FWhat>
    bool Count(std::size_t& nCount, const FWhat& what)
    {
        double dValue = 0;
        if (!Number(dValue, what))
            return false;
        if (dValue < 0 || dValue != std::floor(dValue))
            return Fail(EReadFailure::Malformed, what() + " is " + FormatNumber(dValue) + ", not a count");
        if (dValue > kMaxCount)
            return Fail(EReadFailure::Malformed, what() + " is " + FormatNumber(dValue) + ", more than " +
                                                     FormatNumber(kMaxCount) + " can be");
        nCount = std::size_t(dValue);
        return true;
    }

    template <typename FWhat>
    bool Text(std::string& strText, const FWhat& what)
    {
        if (!Next())
            return false;
        if (m_token.eKind != ETokenKind::Text)
            return Expected(what() + " (a text in quotes)");
        strText = std::move(m_token.strText);
        return true;
    }

    CTokenReader m_tokens;
    ReadResult& m_result;
    Token m_token;
    int m_nCheckLine = 0; // the line a check blames, where the item began
};

} // namespace

ReadResult ParseTextGrid(std::string_view bytes)
{
    try {
        std::string strWhy;
        if (!HeadLooksRight(bytes, strWhy))
            return Failure(EReadFailure::NotTextGrid, 1, strWhy);
        std::string text;
        int nLine = 0;
        if (!DecodeText(bytes, text, nLine, strWhy))
            return Failure(EReadFailure::Malformed, nLine, strWhy);
        ReadResult result;
        if (!CGridParser(text, result).Parse())
            result.grid = TextGrid();
        return result;
    } catch (const std::bad_alloc&) {
        return Failure(EReadFailure::NoMemory, 0, "not enough memory to read it");
    }
}

ReadResult ReadTextGrid(const std::string& strPath)
{
    const auto cannotRead = [](int nErrno, const std::string& strWhy) {
        ReadResult result = Failure(EReadFailure::CannotRead, 0, "cannot read it (" + strWhy + ")");
        result.nErrno = nErrno;
        return result;
    };
    const files::InputFile file = files::OpenInputFile(strPath);
    if (file.fd < 0) {
        ReadResult result = cannotRead(file.nErrno, files::DescribeOpenFailure(file));
        result.szNotAFile = file.szNotAFile;
        return result;
    }
    const int fd = file.fd;
    std::string bytes;
    int nErrno = 0;
    try {
        char buf[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                nErrno = errno;
                break;
            }
            if (n == 0)
                break;
            bytes.append(buf, std::size_t(n));
            // A file that does not begin as a TextGrid is not read to its end;
            // one that does is read into room for all of it at once.
            if (bytes.size() >= kHeadBytes && bytes.size() - std::size_t(n) < kHeadBytes) {
                std::string strWhy;
                if (!HeadLooksRight(bytes, strWhy))
                    break;
                struct stat st {};
                if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && std::uint64_t(st.st_size) > bytes.size() &&
                    std::uint64_t(st.st_size) < bytes.max_size())
                    bytes.reserve(std::size_t(st.st_size));
            }
        }
    } catch (const std::bad_alloc&) {
        ::close(fd);
        return Failure(EReadFailure::NoMemory, 0, "not enough memory to read it");
    }
    ::close(fd);
    if (nErrno != 0)
        return cannotRead(nErrno, std::strerror(nErrno));
    return ParseTextGrid(bytes);
}

std::string DescribeFailure(const std::string& strPath, const ReadResult& result)
{
    if (result.nLine > 0)
        return strPath + ":" + std::to_string(result.nLine) + ": " + result.strWhat;
    return strPath + ": " + result.strWhat;
}

std::string TextGridBeside(const std::string& strSound)
{
    const std::filesystem::path sound(strSound);
    std::error_code ec;
    for (const char* szExtension : {".TextGrid", ".textgrid"}) {
        std::filesystem::path grid = sound;
        grid.replace_extension(szExtension);
        if (!strSound.empty() && grid != sound && std::filesystem::is_regular_file(grid, ec))
            return grid.string();
    }
    return std::string();
}

} // namespace sonavel::textgrid
