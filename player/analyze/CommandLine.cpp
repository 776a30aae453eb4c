#include "player/analyze/CommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "player/analyze/AnalyzeCommands.h"

namespace sonavel {
namespace analyze {

namespace {

struct FormatEntry {
    EFormat format;
    const char* szName;
    const char* szExtension;
};
const FormatEntry kFormats[] = {
    {EFormat::Csv, "csv", ".csv"}, {EFormat::Json, "json", ".json"}, {EFormat::PitchTier, "pitchtier", ".PitchTier"}};

const FormatEntry& EntryOf(EFormat format)
{
    for (const FormatEntry& e : kFormats)
        if (e.format == format)
            return e;
    return kFormats[0];
}

} // namespace

const char* FormatName(EFormat format) { return EntryOf(format).szName; }

const char* FormatExtension(EFormat format) { return EntryOf(format).szExtension; }

bool ParseDecimal(const std::string& s, double& d)
{
    char* pEnd = nullptr;
    d = std::strtod(s.c_str(), &pEnd);
    return !s.empty() && *pEnd == 0 && std::isfinite(d);
}

bool ParseWhole(const std::string& s, long nMin, long nMax, long& n)
{
    if (s.empty() || s.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    n = std::strtol(s.c_str(), nullptr, 10);
    return errno == 0 && n >= nMin && n <= nMax;
}

COptionReader::COptionReader(int argc, char** argv, const char* szUsage)
    : m_argc(argc), m_argv(argv), m_szUsage(szUsage)
{
}

bool COptionReader::Next()
{
    if (m_bFailed || m_i + 1 >= m_argc)
        return false;
    m_strArg = m_argv[++m_i];
    return true;
}

void COptionReader::Refuse() { Fail(m_szUsage); }

int COptionReader::End(bool bWhole)
{
    if (!bWhole)
        Refuse();
    return m_bFailed ? 2 : 0;
}

void COptionReader::Fail(const std::string& strLine)
{
    if (!m_bFailed)
        PrintError(strLine);
    m_bFailed = true;
}

bool COptionReader::File(std::vector<std::string>& files)
{
    const std::string& a = m_strArg;
    if (m_bFilesOnly || a.empty() || a[0] != '-' || a == "-") {
        files.push_back(a);
        return true;
    }
    if (a == "--") {
        m_bFilesOnly = true;
        return true;
    }
    return false;
}

bool COptionReader::Value(const char* szName, std::string& strValue)
{
    const std::string strName = szName;
    if (m_strArg == strName && m_i + 1 < m_argc) {
        strValue = m_argv[++m_i];
        return true;
    }
    if (strName.size() > 2 && m_strArg.rfind(strName + "=", 0) == 0) {
        strValue = m_strArg.substr(strName.size() + 1);
        return true;
    }
    return false;
}

bool COptionReader::Number(const char* szName, double& d)
{
    std::string v;
    if (!Value(szName, v))
        return false;
    if (!ParseDecimal(v, d))
        Fail(std::string(szName) + ": '" + v + "' is not a number");
    return true;
}

bool COptionReader::Positive(const char* szName, const char* szUnit, double& d)
{
    std::string v;
    if (!Value(szName, v))
        return false;
    if (!ParseDecimal(v, d) || d <= 0)
        Fail(std::string(szName) + ": '" + v + "' is not a number of " + szUnit + " above 0");
    return true;
}

bool COptionReader::Jobs(int& nJobs)
{
    std::string v;
    if (!Value("-j", v))
        return false;
    long n = 0;
    if (ParseWhole(v, 1, kMaxJobs, n))
        nJobs = int(n);
    else
        Refuse();
    return true;
}

bool COptionReader::Channel(int& nChannel)
{
    std::string v;
    if (!Value("--channel", v))
        return false;
    long n = 0;
    if (ParseWhole(v, 1, 0x7fffffff, n))
        nChannel = int(n);
    else
        Fail("--channel: '" + v + "' is not a channel number (1 for the first)");
    return true;
}

bool COptionReader::Output(std::string& strOut)
{
    if (!Value("-o", strOut))
        return false;
    if (strOut.empty())
        Refuse();
    return true;
}

bool COptionReader::Format(const std::vector<EFormat>& taken, EFormat& format)
{
    std::string v;
    if (!Value("--format", v))
        return false;
    for (EFormat f : taken)
        if (v == FormatName(f)) {
            format = f;
            return true;
        }
    Refuse();
    return true;
}

std::string RefusalLine(const analysis::SettingRefusal& refusal, const char* szOption)
{
    return refusal ? std::string("--") + (szOption ? szOption : refusal.szSetting) + ": " + refusal.strWhy
                   : std::string();
}

} // namespace analyze
} // namespace sonavel
