#include "player/analysis/measureview/ExportFolder.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace sonavel::measure {

namespace {

// True when inner lies inside outer (or is outer), component by component, so
// /home/ann/.cachex is not inside /home/ann/.cache.
bool Inside(const fs::path& inner, const fs::path& outer)
{
    std::vector<fs::path> outerParts, innerParts;
    for (const fs::path& part : outer)
        if (!part.empty())
            outerParts.push_back(part);
    for (const fs::path& part : inner)
        if (!part.empty())
            innerParts.push_back(part);
    return !outerParts.empty() && innerParts.size() >= outerParts.size()
           && std::equal(outerParts.begin(), outerParts.end(), innerParts.begin());
}

} // namespace

std::string ExportFolder(const std::string& strSoundPath, const std::vector<std::string>& temporaryFolders,
                         const std::string& strHome)
{
    const fs::path folder = fs::path(strSoundPath).lexically_normal().parent_path();
    if (folder.empty())
        return strHome;
    for (const std::string& strTemporary : temporaryFolders)
        if (!strTemporary.empty() && Inside(folder, fs::path(strTemporary).lexically_normal()))
            return strHome;
    return folder.string();
}

} // namespace sonavel::measure
