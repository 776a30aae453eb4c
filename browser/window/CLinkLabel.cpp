#include "browser/window/CLinkLabel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QBitmap>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QUrl>
#include <atomic>

namespace {

std::atomic<int> s_nLiveFonts{0};

// To a screen reader the label is its text; made a link, it is a link that
// can be pressed.
class CLinkLabelAccessible : public QAccessibleWidget {
public:
    explicit CLinkLabelAccessible(CLinkLabel* pLabel) : QAccessibleWidget(pLabel) {}

    bool IsLink() const { return !widget()->testAttribute(Qt::WA_TransparentForMouseEvents); }
    QAccessible::Role role() const override { return IsLink() ? QAccessible::Link : QAccessible::StaticText; }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<CLinkLabel*>(widget())->text();
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return IsLink() ? QStringList{pressAction()} : QStringList(); }
    void doAction(const QString& strAction) override
    {
        if (strAction == pressAction())
            static_cast<CLinkLabel*>(widget())->OpenLink();
    }
};

QAccessibleInterface* LinkLabelAccessible(const QString& strClass, QObject* pObject)
{
    if (strClass == QLatin1String("CLinkLabel") && pObject && pObject->isWidgetType())
        return new CLinkLabelAccessible(static_cast<CLinkLabel*>(pObject));
    return nullptr;
}

} // namespace

CLinkLabel::CLinkLabel(QWidget* pParent)
    : QLabel(pParent),
      m_crText(QApplication::palette().color(QPalette::WindowText)),
      m_hBackBrush(QApplication::palette().color(QPalette::Button)),
      m_logFont(QApplication::font())
{
    static const bool bFactory = (QAccessible::installFactory(LinkLabelAccessible), true);
    (void)bFactory;
    RebuildFont();
    EnableLink(false);
}

CLinkLabel::~CLinkLabel()
{
    if (m_pFont)
        --s_nLiveFonts;
}

int CLinkLabel::LiveFontObjects()
{
    return s_nLiveFonts.load();
}

void CLinkLabel::RebuildFont()
{
    // The old font goes before the new one is made, so one object is alive at a time.
    if (m_pFont) {
        m_pFont.reset();
        --s_nLiveFonts;
    }
    m_pFont = std::make_unique<QFont>(m_logFont);
    ++s_nLiveFonts;
    ApplyLook();
}

void CLinkLabel::ApplyLook()
{
    setFont(*m_pFont);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, m_crText);
    palette.setBrush(QPalette::Window, m_hBackBrush);
    setPalette(palette);
    setAutoFillBackground(true);
    if (isVisible())
        repaint();
}

CLinkLabel& CLinkLabel::SetCaption(const QString& strText)
{
    setTextFormat(Qt::PlainText);
    setText(strText);
    return *this;
}

CLinkLabel& CLinkLabel::SetTextColor(const QColor& crText)
{
    m_crText = crText;
    ApplyLook();
    return *this;
}

CLinkLabel& CLinkLabel::SetFontHeight(int nHeight)
{
    if (nHeight > 0)
        m_logFont.setPixelSize(nHeight);
    RebuildFont();
    return *this;
}

CLinkLabel& CLinkLabel::SetUnderline(bool bUnderline)
{
    m_logFont.setUnderline(bUnderline);
    RebuildFont();
    return *this;
}

CLinkLabel& CLinkLabel::EnableLink(bool bEnable)
{
    m_bLink = bEnable;
    setAttribute(Qt::WA_TransparentForMouseEvents, !bEnable);
    // A link is reached with Tab too, and says so to a screen reader.
    setFocusPolicy(bEnable ? Qt::StrongFocus : Qt::NoFocus);
    return *this;
}

CLinkLabel& CLinkLabel::SetHoverCursor(const QCursor& cursor)
{
    m_hHoverCursor = cursor;
    setCursor(cursor);
    return *this;
}

void CLinkLabel::OpenLink()
{
    // A bare host name is a web address; what the desktop does with it (or
    // fails to do) is its own affair.
    if (m_bLink)
        QDesktopServices::openUrl(QUrl::fromUserInput(text()));
}

void CLinkLabel::mousePressEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() == Qt::LeftButton)
        OpenLink();
    QLabel::mousePressEvent(pEvent);
}

void CLinkLabel::keyPressEvent(QKeyEvent* pEvent)
{
    const int nKey = pEvent->key();
    if (m_bLink && pEvent->modifiers() == Qt::NoModifier
        && (nKey == Qt::Key_Return || nKey == Qt::Key_Enter || nKey == Qt::Key_Space)) {
        OpenLink();
        return;
    }
    QLabel::keyPressEvent(pEvent);
}

QCursor LoadHandCursor()
{
    // Outline points of a right hand pointing up, index finger tip at (6, 0).
    static const QPoint kHand[] = {
        {4, 2}, {5, 0}, {7, 0}, {8, 2}, {8, 10}, {10, 9}, {12, 10}, {13, 11}, {15, 10}, {17, 11},
        {18, 12}, {20, 12}, {21, 14}, {21, 21}, {19, 26}, {18, 29}, {8, 29}, {7, 26},
        {1, 19}, {0, 16}, {1, 15}, {3, 15}, {4, 17}, {4, 2}};
    QBitmap shape(32, 32);
    QBitmap mask(32, 32);
    shape.fill(Qt::color0);
    mask.fill(Qt::color0);
    {
        // Mask: the filled hand plus a one-pixel rim, so it shows on any background.
        QPainter painter(&mask);
        painter.setPen(QPen(Qt::color1, 2));
        painter.setBrush(Qt::color1);
        painter.drawPolygon(kHand, int(std::size(kHand)));
    }
    {
        // Shape (black where set): the outline and the knuckle creases.
        QPainter painter(&shape);
        painter.setPen(QPen(Qt::color1, 1));
        painter.drawPolyline(kHand, int(std::size(kHand)));
        painter.drawLine(8, 10, 8, 15);
        painter.drawLine(12, 10, 12, 15);
        painter.drawLine(16, 11, 16, 15);
    }
    return QCursor(shape, mask, 6, 0);
}
