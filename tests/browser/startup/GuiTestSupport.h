#pragma once
// Screenshots of the start-up windows, for a person to look at, beside the
// test binaries.
#include <QDir>
#include <QImage>
#include <QString>

namespace velmora_test {

inline void SaveScreenshot(const QImage& image, const QString& strName)
{
    QDir dir(QStringLiteral(VELMORA_SCREENSHOT_DIR));
    dir.mkpath(QStringLiteral("."));
    image.save(dir.filePath(strName));
}

} // namespace velmora_test
