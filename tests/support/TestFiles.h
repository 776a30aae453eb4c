#pragma once
// Whole files in one call, for tests that build their input on disk.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

namespace testsupport {

// Writes data to strPath, making missing folders; true when all of it was written.
inline bool WriteTestFile(const QString& strPath, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(strPath).absolutePath());
    QFile file(strPath);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

// The whole file, or nothing when it cannot be read.
inline QByteArray ReadTestFile(const QString& strPath)
{
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace testsupport
