#include "browser/favorites/CFavoritesFolder.h"

#include <QDir>
#include <QSettings>

namespace velmora {

namespace {

bool IsNameStart(QChar c) { return c == QLatin1Char('_') || (c.unicode() < 128 && c.isLetter()); }
bool IsNameChar(QChar c) { return IsNameStart(c) || (c.unicode() < 128 && c.isDigit()); }

} // namespace

QString CFavoritesFolder::ExpandEnvironmentReferences(const QString& strText)
{
    QString strResult;
    const int n = strText.size();
    int i = 0;
    while (i < n) {
        const QChar c = strText[i];
        if (c != QLatin1Char('$') || i + 1 >= n) {
            strResult += c;
            ++i;
            continue;
        }
        int nNameStart = i + 1;
        int nNameEnd = nNameStart;
        int nNext = 0;
        if (strText[nNameStart] == QLatin1Char('{')) {
            const int nClose = strText.indexOf(QLatin1Char('}'), nNameStart + 1);
            ++nNameStart;
            nNameEnd = nClose;
            nNext = nClose + 1;
            bool bValid = nClose > nNameStart && IsNameStart(strText[nNameStart]);
            for (int k = nNameStart; bValid && k < nClose; ++k)
                bValid = IsNameChar(strText[k]);
            if (!bValid) {
                strResult += c;
                ++i;
                continue;
            }
        } else {
            if (!IsNameStart(strText[nNameStart])) {
                strResult += c;
                ++i;
                continue;
            }
            while (nNameEnd < n && IsNameChar(strText[nNameEnd]))
                ++nNameEnd;
            nNext = nNameEnd;
        }
        const QByteArray name = strText.mid(nNameStart, nNameEnd - nNameStart).toLatin1();
        if (qEnvironmentVariableIsSet(name.constData()))
            strResult += qEnvironmentVariable(name.constData());
        else
            strResult += strText.mid(i, nNext - i);
        i = nNext;
    }
    return strResult;
}

QString CFavoritesFolder::DefaultFolder()
{
    // A relative XDG_DATA_HOME is invalid and ignored.
    QString strDataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (strDataHome.isEmpty() || QDir::isRelativePath(strDataHome))
        strDataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return strDataHome + QStringLiteral("/Velmora/Favorites");
}

QString CFavoritesFolder::Locate()
{
    QSettings settings(QStringLiteral("Velmora"), QStringLiteral("Velmora"));
    settings.beginGroup(QStringLiteral("User Shell Folders"));
    const QString strStored = settings.value(QStringLiteral("Favorites")).toString().trimmed();
    settings.endGroup();
    // An empty entry counts as none: an empty path would otherwise mean the
    // current directory, or the filesystem root once a separator is appended.
    if (strStored.isEmpty())
        return DefaultFolder();
    return ExpandEnvironmentReferences(strStored);
}

} // namespace velmora
