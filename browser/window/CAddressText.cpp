#include "browser/window/CAddressText.h"

#include <QFontDatabase>
#include <QMimeData>
#include <QStyle>

#include <algorithm>

namespace {
// Lines of the full address in sight before it scrolls.
constexpr int kVisibleLines = 8;
}  // namespace

QString velmora::BreakAddress(QStringView text, int nLineChars, int nMaxLines)
{
    nLineChars = std::max(nLineChars, 2);
    QString shown;
    const qsizetype nMaxChars = qsizetype(nLineChars) * nMaxLines;
    if (nMaxLines > 0 && text.size() > nMaxChars) {
        // The end of an address (the last part of the host, the page asked for)
        // says as much as its start, so the last line keeps it.
        const qsizetype nTail = std::min<qsizetype>(nLineChars - 1, nMaxChars / 2);
        shown.reserve(nMaxChars);
        shown.append(text.left(nMaxChars - nTail - 1)).append(QChar(0x2026)).append(text.right(nTail));
        text = shown;
    }
    QString lines;
    lines.reserve(text.size() + text.size() / nLineChars + 1);
    for (qsizetype i = 0; i < text.size(); i += nLineChars) {
        if (i > 0)
            lines += QLatin1Char('\n');
        lines += text.mid(i, nLineChars);
    }
    return lines;
}

CAddressText::CAddressText(QWidget* pParent) : QPlainTextEdit(pParent)
{
    setReadOnly(true);
    // Read, selected and copied from the keyboard too.
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // The text's own line breaks fit the box: no sideways scrolling.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    const int nMargins = 2 * int(document()->documentMargin()) + 2 * frameWidth();
    setFixedWidth(fontMetrics().horizontalAdvance(QString(kLineChars, QLatin1Char('0'))) + nMargins
                  + style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2);
    setFixedHeight(kVisibleLines * fontMetrics().lineSpacing() + nMargins + 2);
}

void CAddressText::SetAddress(const QString& strAddress)
{
    m_strAddress = strAddress;
    setPlainText(velmora::BreakAddress(strAddress, kLineChars));
}

QMimeData* CAddressText::createMimeDataFromSelection() const
{
    // The line breaks are the box's, not the address's: a fully encoded address
    // holds no line break of its own.
    auto* pData = new QMimeData;
    pData->setText(textCursor().selectedText().remove(QChar::ParagraphSeparator));
    return pData;
}
