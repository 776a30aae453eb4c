#pragma once
// The browser's most-recently-used file list in its profile: group
// "Recent File List", keys "File1" (newest) to "File4".
//
// UI thread only; the profile it is given is the caller's and must outlive it.
#include <QString>
#include <QStringList>

class QSettings;

class CRecentFileList {
public:
    CRecentFileList(QSettings& profile, int nSize);

    void ReadList();
    // Puts strPath at the top; an entry already in the list moves up, the
    // oldest falls out. Written at once, so a killed program keeps it.
    void Add(const QString& strPath);
    void WriteList();

    const QStringList& Entries() const { return m_entries; }

private:
    QSettings& m_profile;
    int m_nSize;
    QStringList m_entries;
};
