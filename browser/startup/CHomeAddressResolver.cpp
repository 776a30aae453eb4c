#include "browser/startup/CHomeAddressResolver.h"

#include "browser/startup/CIniFile.h"
#include "browser/startup/VelmoraResource.h"

#include <QSettings>

#include <filesystem>

namespace {

QString ProfileKey()
{
    return QStringLiteral("%1/%2").arg(QLatin1String(velmora::kHomePageSection),
                                       QLatin1String(velmora::kHomePageEntry));
}

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

} // namespace

CHomeAddressResolver::CHomeAddressResolver(QSettings& profile, QString strDefaultAddress)
    : m_profile(profile), m_strDefaultAddress(std::move(strDefaultAddress))
{
}

bool CHomeAddressResolver::IsRootDirectory(const std::string& strDir)
{
    if (strDir.empty())
        return false;
    const std::filesystem::path dir(strDir);
    return dir.has_root_path() && !dir.has_relative_path();
}

std::string CHomeAddressResolver::SettingsFilePath(const std::string& strStartupDir)
{
    std::filesystem::path path(velmora::kSettingsFileName);
    if (!strStartupDir.empty())
        path = std::filesystem::path(strStartupDir) / path;
    return path.string();
}

QString CHomeAddressResolver::ReadSettingsFile(const std::string& strSettingsFile)
{
    CIniFile ini;
    ini.SetPath(strSettingsFile);
    if (!ini.ReadFile())
        return QString();
    return QString::fromLocal8Bit(
        ini.GetValue(velmora::kSettingsHomeKey, velmora::kSettingsHomeValue));
}

QString CHomeAddressResolver::Resolve(const std::string& strStartupDir)
{
    return Resolve(strStartupDir, SettingsFilePath(strStartupDir));
}

QString CHomeAddressResolver::Resolve(const std::string& strStartupDir,
                                      const std::string& strSettingsFile)
{
    m_bProfileWritten = false;
    const bool bRootBranch = strStartupDir.empty() || IsRootDirectory(strStartupDir);

    if (bRootBranch) {
        // The root already ends in a separator, so none is added.
        const QString strValue = ReadSettingsFile(strSettingsFile);
        if (strValue.isEmpty())
            return m_strDefaultAddress;
        return QString::fromLocal8Bit(strStartupDir) + strValue;
    }

    // A stored address wins, even when it is the built-in default: only an
    // empty entry lets the settings file count again.
    const QString strStored = m_profile.value(ProfileKey()).toString();
    if (!strStored.isEmpty())
        return strStored;

    const QString strValue = ReadSettingsFile(strSettingsFile);
    QString strAddress;
    if (strValue.isEmpty())
        strAddress = m_strDefaultAddress;
    else
        strAddress = QString::fromLocal8Bit(strStartupDir) + QChar(kSeparator) + strValue;
    m_profile.setValue(ProfileKey(), strAddress);
    m_profile.sync();
    m_bProfileWritten = true;
    return strAddress;
}
