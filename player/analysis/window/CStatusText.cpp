#include "player/analysis/window/CStatusText.h"

#include <QPainter>
#include <QStyle>

CStatusText::CStatusText(QWidget* pParent) : QLabel(pParent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

QString CStatusText::ShownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

QSize CStatusText::minimumSizeHint() const
{
    // A few characters and the ellipsis: the rest gives way.
    return QSize(fontMetrics().horizontalAdvance(QString::fromUtf8("00000\xE2\x80\xA6")), QLabel::minimumSizeHint().height());
}

void CStatusText::paintEvent(QPaintEvent*)
{
    QPainter dc(this);
    style()->drawItemText(&dc, contentsRect(), Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(), ShownText(),
                          foregroundRole());
}
