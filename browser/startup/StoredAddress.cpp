#include "browser/startup/StoredAddress.h"

#include <QDir>
#include <QRegularExpression>

namespace velmora {

QUrl StoredAddressUrl(const QString& strAddress)
{
    const QString strText = strAddress.trimmed();
    if (strText.isEmpty())
        return QUrl();
    if (QDir::isAbsolutePath(strText) && strText.startsWith(QLatin1Char('/')))
        return QUrl::fromLocalFile(strText);
    // "name:rest" names a scheme, unless the rest is a port ("host:8080/x").
    static const QRegularExpression s_scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):(.*)$"),
                                             QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression s_port(QStringLiteral("^[0-9]+(/.*)?$"),
                                           QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = s_scheme.match(strText);
    if (match.hasMatch() && !s_port.match(match.captured(2)).hasMatch()) {
        const QString strScheme = match.captured(1).toLower();
        if (strScheme != QLatin1String("http") && strScheme != QLatin1String("https") &&
            strScheme != QLatin1String("file"))
            return QUrl();
        const QUrl url(strText);
        return url.isValid() && url.scheme().toLower() == strScheme ? url : QUrl();
    }
    // A bare host name, perhaps with a port and a path.
    const QUrl url = QUrl::fromUserInput(strText);
    if (!url.isValid() || url.scheme() != QLatin1String("http") || url.host().isEmpty())
        return QUrl();
    return url;
}

}  // namespace velmora
