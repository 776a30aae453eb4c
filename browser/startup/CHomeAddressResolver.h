#pragma once
// Works out the upper pane's home address at start-up, without a screen:
// the profile entry first, then "Velmora.ini" in the start-up directory, then
// the built-in default. A start from the filesystem root (or from a directory
// that could not be captured) neither reads nor writes the profile.
//
// Used on one thread at a time; the profile it is given is the caller's and must outlive
// it.
#include <QString>

#include <string>

class QSettings;

class CHomeAddressResolver {
public:
    CHomeAddressResolver(QSettings& profile, QString strDefaultAddress);

    // Returns the home address for a start from strStartupDir and, outside the
    // root branch, stores it in the profile. The settings file is "Velmora.ini"
    // in that directory (in the current one when the directory is empty).
    QString Resolve(const std::string& strStartupDir);
    // The same with the settings file at strSettingsFile.
    QString Resolve(const std::string& strStartupDir, const std::string& strSettingsFile);

    // Where Resolve(strStartupDir) looks for the settings file.
    static std::string SettingsFilePath(const std::string& strStartupDir);

    // Whether the last Resolve wrote the profile.
    bool ProfileWritten() const { return m_bProfileWritten; }

    // "/" on this system; a drive root such as "C:\" on Windows.
    static bool IsRootDirectory(const std::string& strDir);

private:
    static QString ReadSettingsFile(const std::string& strSettingsFile);

    QSettings& m_profile;
    QString m_strDefaultAddress;
    bool m_bProfileWritten = false;
};
