#include "browser/handoff/PlayerCommandLine.h"

#include "browser/handoff/MediaFragment.h"

#include <QFileInfo>
#include <QUrl>

#include <algorithm>
#include <string>

namespace velmora {

namespace {

// Most file systems take no longer name, and the player shows it in a title.
constexpr qsizetype kMaxNameBytes = 255;

// C0, DEL and C1, and the bidirectional embeddings, overrides and isolates,
// which would turn the player's title round after the name.
bool IsControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

QString CleanSoundName(const QString& strName)
{
    // A decoded "%2F" or a Windows path must not carry folders into the name.
    const qsizetype nCut = std::max(strName.lastIndexOf(QLatin1Char('/')), strName.lastIndexOf(QLatin1Char('\\')));
    std::u32string kept;
    for (const uint c : QStringView(strName).mid(nCut + 1).toUcs4())
        if (!IsControl(c))
            kept.push_back(char32_t(c));
    QString strKept = QString::fromStdU32String(kept);
    QByteArray utf8 = strKept.toUtf8();
    if (utf8.size() > kMaxNameBytes) {
        qsizetype nEnd = kMaxNameBytes;
        // Back off over continuation bytes to the start of the cut character.
        while (nEnd > 0 && (static_cast<unsigned char>(utf8[nEnd]) & 0xC0) == 0x80)
            --nEnd;
        utf8.truncate(nEnd);
        strKept = QString::fromUtf8(utf8);
    }
    if (strKept == QLatin1String(".") || strKept == QLatin1String(".."))
        return {};
    return strKept;
}

QString LinkSoundName(const QString& strUrl)
{
    // Split before decoding: an encoded '/' belongs to the segment.
    const QString strPath = QUrl(strUrl).path(QUrl::FullyEncoded);
    const QString strSegment = strPath.mid(strPath.lastIndexOf(QLatin1Char('/')) + 1);
    return CleanSoundName(QUrl::fromPercentEncoding(strSegment.toUtf8()));
}

QString LocalSoundName(const QString& strPath)
{
    return CleanSoundName(QFileInfo(strPath).fileName());
}

QStringList PlayerArguments(const QString& strTempPath, const QString& strName, const QString& strUrl)
{
    QStringList arguments{strTempPath};
    if (!strName.isEmpty())
        arguments << QStringLiteral("--name") << strName;
    const QString strSelection = MediaFragmentSelection(strUrl);
    if (!strSelection.isEmpty())
        arguments << QStringLiteral("--select") << strSelection;
    return arguments;
}

}  // namespace velmora
