#pragma once
// Screenshots for a person to look at: saved into $VELMORA_SCREENSHOT_DIR when
// that is set, skipped otherwise.
#include <QDir>
#include <QPixmap>
#include <QString>

namespace testsupport {

inline void SaveShot(const QPixmap& pixmap, const char* szName)
{
    if (qEnvironmentVariableIsSet("VELMORA_SCREENSHOT_DIR"))
        pixmap.save(QDir(qEnvironmentVariable("VELMORA_SCREENSHOT_DIR")).filePath(QLatin1String(szName)));
}

} // namespace testsupport
