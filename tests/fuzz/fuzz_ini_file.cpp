// The settings-file reader against a small model of its format: every key and
// value the model finds must be found, in the same order, with the same data.
#include "tests/fuzz/ScratchFile.h"
#include "tests/fuzz/FuzzTarget.h"

#include <string>
#include <utility>
#include <vector>

#include "browser/startup/CIniFile.h"

namespace {

struct ModelKey {
    std::string name;
    std::vector<std::pair<std::string, std::string>> values;
};

// Lines end at LF; a CR right before the end goes with it; a line keeps its
// first 2047 characters and drops the rest.
std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t nStart = 0;
    while (nStart < text.size()) {
        std::size_t nEnd = text.find('\n', nStart);
        const bool bLf = nEnd != std::string::npos;
        if (!bLf)
            nEnd = text.size();
        std::string line = text.substr(nStart, nEnd - nStart);
        if (line.size() <= 2048 && !line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > 2047)
            line.resize(2047);
        lines.push_back(line);
        nStart = nEnd + 1;
    }
    return lines;
}

std::vector<ModelKey> Model(const std::string& text)
{
    std::vector<ModelKey> keys;
    std::string current;
    for (const std::string& line : SplitLines(text)) {
        if (line.empty())
            continue;
        if (line.front() == '[' && line.back() == ']') {
            std::size_t a = 0, b = line.size();
            while (a < b && line[a] == '[')
                ++a;
            while (b > a && line[b - 1] == ']')
                --b;
            current = line.substr(a, b - a);
            continue;
        }
        const std::size_t nEq = line.find('=');
        std::string name = nEq == std::string::npos ? std::string() : line.substr(0, nEq);
        std::string data = nEq == std::string::npos ? line.substr(1) : line.substr(nEq + 1);
        ModelKey* pKey = nullptr;
        for (ModelKey& k : keys)
            if (k.name == current)
                pKey = &k;
        if (!pKey) {
            keys.push_back({current, {}});
            pKey = &keys.back();
        }
        bool bFound = false;
        for (auto& v : pKey->values)
            if (v.first == name) {
                v.second = data;
                bFound = true;
            }
        if (!bFound)
            pKey->values.emplace_back(name, data);
    }
    return keys;
}

} // namespace

FUZZ_TARGET(ini_file, "ini")
{
    const std::string path = fuzz::WriteScratchFile(data, size, ".ini");
    CIniFile ini;
    ini.SetPath(path);
    FUZZ_CHECK(ini.ReadFile());
    FUZZ_CHECK(ini.m_keys.size() == ini.m_keyNames.size());

    const std::vector<ModelKey> model = Model(std::string(reinterpret_cast<const char*>(data), size));
    FUZZ_CHECK(ini.m_keyNames.size() == model.size());
    for (std::size_t i = 0; i < model.size(); ++i) {
        FUZZ_CHECK(ini.FindKey(model[i].name) == int(i));
        const CIniKey& key = ini.m_keys[i];
        FUZZ_CHECK(key.m_valueNames.size() == model[i].values.size());
        FUZZ_CHECK(key.m_valueData.size() == key.m_valueNames.size());
        for (std::size_t j = 0; j < model[i].values.size(); ++j) {
            FUZZ_CHECK(ini.FindValue(int(i), model[i].values[j].first) == int(j));
            FUZZ_CHECK(ini.GetValue(model[i].name, model[i].values[j].first) == model[i].values[j].second);
        }
    }

    // The start-up lookup, and the two failure texts.
    ini.m_strError.clear();
    const std::string home = ini.GetValue("HomeLocal", "HomeAddressTop");
    const int nKey = ini.FindKey("HomeLocal");
    if (nKey < 0)
        FUZZ_CHECK(home.empty() && ini.m_strError == "Unable to locate specified key.");
    else if (ini.FindValue(nKey, "HomeAddressTop") < 0)
        FUZZ_CHECK(home.empty() && ini.m_strError == "Unable to locate specified value.");
    else
        FUZZ_CHECK(ini.m_strError.empty());
    return 0;
}
