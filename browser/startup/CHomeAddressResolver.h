#pragma once
// Works out the upper pane's home address at start-up, without a screen:
// the profile entry first, then "Velmora.ini" in the start-up directory, then
// the built-in default. A start from the filesystem root (or from a directory
// that could not be captured) neither reads nor writes the profile.
#include <QString>

#include <string>

class QSettings;

class CHomeAddressResolver {
public:
    CHomeAddressResolver(QSettings& profile, QString strDefaultAddress);

    // Returns the home address for a start from strStartupDir and, outside the
    // root branch, stores it in the profile.
    QString Resolve(const std::string& strStartupDir);

    // Whether the last Resolve wrote the profile.
    bool ProfileWritten() const { return m_bProfileWritten; }

    // "/" on this system; a drive root such as "C:\" on Windows.
    static bool IsRootDirectory(const std::string& strDir);

private:
    QString ReadSettingsFile(const std::string& strStartupDir) const;

    QSettings& m_profile;
    QString m_strDefaultAddress;
    bool m_bProfileWritten = false;
};
