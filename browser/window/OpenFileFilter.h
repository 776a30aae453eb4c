#pragma once
// The open dialogs' filter string "name|patterns|...||" turned into Qt's name
// filters: "HTML Files|*.htm;*.html|" -> "HTML Files (*.htm *.html)".
//
// Free functions over the caller's values; they keep no state, so any thread may call
// them.
#include <QString>
#include <QStringList>

namespace velmora {

inline QStringList OpenFilterList(const QString& strFilter)
{
    QStringList filters;
    const QStringList parts = strFilter.split(QLatin1Char('|'));
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        QString strPatterns = parts[i + 1];
        strPatterns.replace(QLatin1Char(';'), QLatin1Char(' '));
#ifndef Q_OS_WIN
        // "*.*" would hide every file without a dot, which is most files here.
        if (strPatterns == QLatin1String("*.*"))
            strPatterns = QStringLiteral("*");
#endif
        filters << QStringLiteral("%1 (%2)").arg(parts[i], strPatterns);
    }
    return filters;
}

} // namespace velmora
