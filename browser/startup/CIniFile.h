#pragma once
// Reader of the small bracketed settings file "Velmora.ini".
//
// The format is strict: nothing is trimmed, there are no comments, names are
// compared exactly. A header line is one that starts with "[" and ends with "]";
// every leading "[" and trailing "]" is stripped to give the key name. Every
// other non-empty line is a value: the name is what precedes the first "=", the
// data what follows it; a line with no "=" gets the empty name and loses its
// first character. Keys and values come into being with their first value line,
// so a header alone creates nothing. A line keeps at most its first 2047
// characters; the rest of a longer line is skipped, never read as a line of its own.
// Lookups go through hash indexes of the names, so a file of tens of thousands
// of keys loads in one pass; there is no limit on keys or values.
//
// A value its caller owns, read on one thread at a time; it keeps no file open.
#include "browser/startup/CIniKey.h"

#include <string>
#include <unordered_map>
#include <vector>

class CIniFile {
public:
    // Longest line the reader keeps in one piece (its buffer holds 2048 with the terminator).
    static constexpr std::size_t kMaxLineLength = 2047;

    CIniFile() = default;
    virtual ~CIniFile() = default;

    void SetPath(std::string strPath);

    // Parses the file at m_strPath, adding to what is loaded. False when the file
    // does not exist (m_strError untouched) or cannot be opened.
    bool ReadFile();

    // The value data, or "" with m_strError set when the key or value is unknown.
    std::string GetValue(const std::string& strKey, const std::string& strValue);

    // Stores the data; with bCreate false a missing key or value is not created.
    bool SetValue(const std::string& strKey, const std::string& strValue,
                  const std::string& strData, bool bCreate);

    int FindKey(const std::string& strKey) const;
    int FindValue(int nKey, const std::string& strValue) const;

    std::string m_strPath;
    std::vector<CIniKey> m_keys;
    std::vector<std::string> m_keyNames;  // index-parallel to m_keys
    std::string m_strError;

private:
    // Name -> first index with that name. The lists only grow, so an index
    // covers their first m_nIndexed entries and takes in the rest when next asked.
    struct CNameIndex {
        std::size_t m_nIndexed = 0;
        std::unordered_map<std::string, int> m_map;
        int Find(const std::vector<std::string>& names, const std::string& strName);
    };
    mutable CNameIndex m_keyIndex;
    mutable std::vector<CNameIndex> m_valueIndexes;  // one per key
};
