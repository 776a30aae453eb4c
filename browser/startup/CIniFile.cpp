#include "browser/startup/CIniFile.h"

#include <fstream>
#include <sys/stat.h>

namespace {

constexpr char kErrorOpen[] = "Unable to open ini file.";
constexpr char kErrorKey[] = "Unable to locate specified key.";
constexpr char kErrorValue[] = "Unable to locate specified value.";

// Reads one line into strLine: up to the next line feed (dropped), without a
// carriage return right before it, cut to kMaxLineLength characters. False at
// end of file when no character could be read, and on a stream error.
bool ReadLine(std::istream& in, std::string& strLine)
{
    strLine.clear();
    std::streambuf* pBuf = in.rdbuf();
    std::size_t nLength = 0;  // characters of the whole line, also those not kept
    char chLast = 0;
    for (;;) {
        int ch;
        try {
            ch = pBuf->sbumpc();
        } catch (...) {
            // A stream buffer may raise on a failed read; the file then reads
            // as one that could not be read, which the caller handles.
            in.setstate(std::ios::badbit);
            return false;
        }
        if (ch == std::char_traits<char>::eof()) {
            if (nLength == 0)
                return false;
            break;
        }
        if (ch == '\n')
            break;
        // One character beyond the limit is kept so that a CR in that place can
        // still be recognised as part of the line end.
        if (strLine.size() <= CIniFile::kMaxLineLength)
            strLine.push_back(static_cast<char>(ch));
        chLast = static_cast<char>(ch);
        ++nLength;
    }
    if (chLast == '\r' && nLength <= CIniFile::kMaxLineLength + 1)
        strLine.pop_back();
    if (strLine.size() > CIniFile::kMaxLineLength)
        strLine.resize(CIniFile::kMaxLineLength);
    return true;
}

bool IsHeaderLine(const std::string& strLine)
{
    return strLine.front() == '[' && strLine.back() == ']';
}

std::string HeaderName(const std::string& strLine)
{
    std::size_t nFirst = strLine.find_first_not_of('[');
    if (nFirst == std::string::npos)
        return std::string();  // "[", "[[]" … are all brackets
    std::size_t nLast = strLine.find_last_not_of(']');
    // A line such as "]]][" cannot reach here: it does not start with "[".
    return strLine.substr(nFirst, nLast - nFirst + 1);
}

} // namespace

void CIniFile::SetPath(std::string strPath)
{
    m_strPath = std::move(strPath);
}

bool CIniFile::ReadFile()
{
    struct stat st {};
    if (::stat(m_strPath.c_str(), &st) != 0)
        return false;  // no such file: the caller falls back, nothing to report

    std::ifstream in;
    // Only a regular file can be a settings file: a directory opens on some
    // systems but never reads, a pipe would block start-up, a device may never end.
    if (S_ISREG(st.st_mode))
        in.open(m_strPath, std::ios::in | std::ios::binary);
    if (!in.is_open() || !in.good()) {
        m_strError = kErrorOpen;
        return false;
    }

    std::string strKey;
    std::string strLine;
    while (ReadLine(in, strLine)) {
        if (strLine.empty())
            continue;
        if (IsHeaderLine(strLine)) {
            strKey = HeaderName(strLine);
            continue;
        }
        std::size_t nEquals = strLine.find('=');
        if (nEquals == std::string::npos)
            SetValue(strKey, std::string(), strLine.substr(1), true);
        else
            SetValue(strKey, strLine.substr(0, nEquals), strLine.substr(nEquals + 1), true);
    }
    return true;
}

std::string CIniFile::GetValue(const std::string& strKey, const std::string& strValue)
{
    const int nKey = FindKey(strKey);
    const int nValue = FindValue(nKey, strValue);
    if (nKey == -1) {
        m_strError = kErrorKey;
        return std::string();
    }
    if (nValue == -1) {
        m_strError = kErrorValue;
        return std::string();
    }
    return m_keys[nKey].m_valueData[nValue];
}

bool CIniFile::SetValue(const std::string& strKey, const std::string& strValue,
                        const std::string& strData, bool bCreate)
{
    int nKey = FindKey(strKey);
    if (nKey == -1) {
        if (!bCreate)
            return false;
        m_keyNames.push_back(strKey);
        m_keys.emplace_back();
        nKey = static_cast<int>(m_keys.size()) - 1;
    }
    CIniKey& key = m_keys[nKey];
    int nValue = FindValue(nKey, strValue);
    if (nValue == -1) {
        if (!bCreate)
            return false;
        key.m_valueNames.push_back(strValue);
        key.m_valueData.emplace_back();
        nValue = static_cast<int>(key.m_valueData.size()) - 1;
    }
    key.m_valueData[nValue] = strData;
    return true;
}

int CIniFile::CNameIndex::Find(const std::vector<std::string>& names, const std::string& strName)
{
    // emplace keeps an existing entry, so a name listed twice maps to its first place.
    for (; m_nIndexed < names.size(); ++m_nIndexed)
        m_map.emplace(names[m_nIndexed], static_cast<int>(m_nIndexed));
    const auto it = m_map.find(strName);
    return it == m_map.end() ? -1 : it->second;
}

int CIniFile::FindKey(const std::string& strKey) const
{
    return m_keyIndex.Find(m_keyNames, strKey);
}

int CIniFile::FindValue(int nKey, const std::string& strValue) const
{
    if (nKey < 0 || static_cast<std::size_t>(nKey) >= m_keys.size())
        return -1;
    if (m_valueIndexes.size() < m_keys.size())
        m_valueIndexes.resize(m_keys.size());
    return m_valueIndexes[nKey].Find(m_keys[nKey].m_valueNames, strValue);
}
