#pragma once
// One bracketed key of a settings file: its values as two index-parallel lists.
//
// Constants only: nothing to own, any thread may read them.
#include <string>
#include <vector>

struct CIniKey {
    std::vector<std::string> m_valueData;   // entry i belongs to m_valueNames[i]
    std::vector<std::string> m_valueNames;  // in the order the values first appeared
};
