#include "browser/handoff/MediaFragment.h"

#include <QRegularExpression>
#include <QUrl>

#include <cmath>
#include <optional>

namespace velmora {

namespace {

// One clock value: seconds ("75", "75.5", "75."), mm:ss or h:mm:ss (minutes of
// one or two digits without hours, two with), each with a fraction.
std::optional<double> ParseClock(const QString& strText)
{
    static const QRegularExpression rxSeconds(QStringLiteral("^([0-9]+)(\\.[0-9]*)?$"));
    static const QRegularExpression rxClock(QStringLiteral("^(?:([0-9]+):([0-9]{2})|([0-9]{1,2})):([0-9]{2})(\\.[0-9]*)?$"));
    double dSeconds = 0;
    if (const QRegularExpressionMatch m = rxSeconds.match(strText); m.hasMatch()) {
        dSeconds = strText.toDouble();
    } else if (const QRegularExpressionMatch c = rxClock.match(strText); c.hasMatch()) {
        const bool bHours = c.capturedLength(1) > 0;
        const double dHours = bHours ? c.captured(1).toDouble() : 0;
        const int nMinutes = (bHours ? c.captured(2) : c.captured(3)).toInt();
        const int nSeconds = c.captured(4).toInt();
        if (nMinutes > 59 || nSeconds > 59)
            return std::nullopt;
        const QString strFraction = c.captured(5);
        dSeconds = dHours * 3600 + nMinutes * 60 + nSeconds + (strFraction.size() > 1 ? strFraction.toDouble() : 0.0);
    } else {
        return std::nullopt;
    }
    if (!std::isfinite(dSeconds))
        return std::nullopt;  // a number too long for a double
    return dSeconds;
}

QString Decimal(double dSeconds)
{
    // Microseconds are finer than any sample rate the player reads.
    QString strText = QString::number(dSeconds, 'f', 6);
    while (strText.endsWith(QLatin1Char('0')))
        strText.chop(1);
    if (strText.endsWith(QLatin1Char('.')))
        strText.chop(1);
    return strText;
}

// The value of one "t=" part, or empty when it is not valid.
QString ParseTime(QString strValue)
{
    if (strValue.startsWith(QLatin1String("npt:")))
        strValue = strValue.mid(4);
    const QStringList parts = strValue.split(QLatin1Char(','));
    if (parts.size() > 2 || (parts.size() == 1 && parts[0].isEmpty()))
        return {};
    const std::optional<double> start = parts[0].isEmpty() ? std::optional<double>(0.0) : ParseClock(parts[0]);
    if (!start)
        return {};
    if (parts.size() == 1)
        return Decimal(*start) + QLatin1Char(',');
    const std::optional<double> end = ParseClock(parts[1]);
    if (!end)
        return {};
    // Judged as the player will read it: two times apart by less than the
    // microsecond the value keeps would pass as an empty span ("0,0").
    const QString strStart = Decimal(*start), strEnd = Decimal(*end);
    if (strStart.toDouble() >= strEnd.toDouble())
        return {};
    return strStart + QLatin1Char(',') + strEnd;
}

}  // namespace

QString MediaFragmentSelection(const QString& strUrl)
{
    const QUrl url(strUrl);
    if (url.scheme().isEmpty() || !url.hasFragment())
        return {};
    QString strSelection;
    for (const QString& strPart : url.fragment(QUrl::FullyEncoded).split(QLatin1Char('&'))) {
        const qsizetype nEquals = strPart.indexOf(QLatin1Char('='));
        if (nEquals < 0 || QUrl::fromPercentEncoding(strPart.left(nEquals).toUtf8()) != QLatin1String("t"))
            continue;
        const QString strParsed = ParseTime(QUrl::fromPercentEncoding(strPart.mid(nEquals + 1).toUtf8()));
        if (!strParsed.isEmpty())
            strSelection = strParsed;
    }
    return strSelection;
}

}  // namespace velmora
