#pragma once
// The hand-off's temporary file, written so that nothing planted beside it can
// redirect the write. The folder is made private first (a planted link in its
// place is removed, a missing folder is created with mode 0700), then opened
// without following links and checked: a directory owned by this user that
// nobody else may enter. The sound goes into a new file inside it (created
// exclusively, never through a link) and is renamed over the final name only
// once it is complete, so a reader of the final name only ever sees a whole
// sound, and no other file's content or mode can change.
//
// Threads: one object is used by one thread at a time. The download creates and
// commits it on the user-interface thread and writes it from its worker thread
// while the user-interface thread waits.
#include <QByteArray>
#include <QString>

class CPrivateTempFile {
public:
    // strFinalPath: the file the complete sound replaces ("…/velmora/tempFile").
    explicit CPrivateTempFile(QString strFinalPath);
    ~CPrivateTempFile();  // an uncommitted file is removed
    CPrivateTempFile(const CPrivateTempFile&) = delete;
    CPrivateTempFile& operator=(const CPrivateTempFile&) = delete;

    // Makes and checks the folder and creates the new file inside it.
    bool Create();
    // Appends every byte or fails (no space, quota, read-only medium).
    bool Write(const char* pData, qint64 nBytes);
    // Closes the file and renames it over the final name.
    bool Commit();
    // Closes and removes the new file; the final name keeps what it had.
    void Discard();

    // Removes the partial files a killed run left beside strFinalPath (Create
    // does it too, each time it opens the folder). A file another run is
    // still writing stays.
    static void RemoveLeftovers(const QString& strFinalPath);

    // The folder the sound goes into, and why the last step failed (empty when
    // nothing failed), for a message that names both.
    QString Folder() const { return m_strFolder; }
    QString ErrorText() const { return m_strError; }

private:
    static void RemoveLeftovers(int nDirFd, const QByteArray& finalName);
    bool Fail(const QString& strWhy);
    bool FailErrno(int nErrno);

    QString m_strFinalPath;
    QString m_strFolder;
    QByteArray m_finalName;
    QByteArray m_tempName;
    QString m_strError;
    int m_nDirFd = -1;
    int m_nFd = -1;
};
