#pragma once
// A local sound copied into the temporary file with no room for a swap: its
// path is resolved to the real path once, the caller checks that path (a local
// page's sound must lie in the page's folder), and the copy opens that very
// path with no link followed in any part of it and reads the file only when it
// is the one the check saw (the same device and inode). A link or another file
// put in its place in between is not read.
//
// Free functions over the caller's values; they keep no state, so any thread may call
// them.
#include <QString>
#include <QtGlobal>

namespace velmora {

// A local file as its check saw it.
struct SCheckedFile {
    QString strRealPath;  // links resolved; empty when the file was missing
    quint64 nDevice = 0;
    quint64 nInode = 0;
    bool IsFound() const { return !strRealPath.isEmpty(); }
};

// Resolves strPath (relative to the working folder, links followed) to its
// real path and takes the identity of the file there.
SCheckedFile CheckLocalFile(const QString& strPath);

enum class ELocalCopy {
    Copied,
    NoSound,            // missing, unreadable, or no regular file
    NotTheCheckedFile,  // a link or another file is in its place now
    WriteFailed         // the destination could not be written
};

// Copies the checked file over strDestination through a new private file
// (CPrivateTempFile), so a read-only old destination is replaced and a link in
// its place is replaced, never followed. On WriteFailed *pstrWriteError (when
// given) says why, naming no folder. Shows nothing.
ELocalCopy CopyCheckedFile(const SCheckedFile& checked, const QString& strDestination,
                           QString* pstrWriteError = nullptr);

// CheckLocalFile and CopyCheckedFile in one: true when copied.
bool CopyFileReplacing(const QString& strSource, const QString& strDestination, QString* pstrWriteError = nullptr);

}  // namespace velmora
