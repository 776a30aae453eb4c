#pragma once
// The player's recent-file list: up to five paths, newest first, kept in the
// profile (group "Recent File List", keys File1..File5) and written through at
// once so a program that is ended abruptly loses nothing.
//
// UI thread only; the application object owns it.
#include <QString>
#include <QStringList>

class CRecentFileList {
public:
    CRecentFileList();

    void Add(const QString& strPath);
    void Remove(int nIndex);
    QStringList Files() const { return m_files; }
    int Size() const { return static_cast<int>(m_files.size()); }

    // Re-reads the profile (another instance of the player may have written it).
    void ReadList();

private:
    void WriteList();

    QStringList m_files;
};
