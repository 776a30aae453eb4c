#pragma once
// A static text with its own colour, font and hover cursor that, once made a
// link, opens its own text with the desktop's URL handler when clicked.
//
// Lives on the UI thread; its Qt parent owns it, and it owns the widgets it makes.
#include <QBrush>
#include <QColor>
#include <QCursor>
#include <QFont>
#include <QLabel>
#include <memory>
#include <optional>

class CLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit CLinkLabel(QWidget* pParent = nullptr);
    ~CLinkLabel() override;

    // Each setter returns the label, so that a set-up reads as one chain.
    CLinkLabel& SetCaption(const QString& strText);
    CLinkLabel& SetTextColor(const QColor& crText);
    CLinkLabel& SetFontHeight(int nHeight);      // character height in pixels
    CLinkLabel& SetUnderline(bool bUnderline);
    // A label that is not a link lets clicks (and the cursor) fall through to
    // what lies beneath it, as plain text does.
    CLinkLabel& EnableLink(bool bEnable);
    CLinkLabel& SetHoverCursor(const QCursor& cursor);

    // Opens the text as a web address (a click, Enter or Space on a link, or a
    // screen reader's press).
    void OpenLink();

    // Font objects alive in all labels together: each label keeps exactly one.
    static int LiveFontObjects();

protected:
    void mousePressEvent(QMouseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    void RebuildFont();
    void ApplyLook();

    QColor m_crText;
    QBrush m_hBackBrush;
    QFont m_logFont;                    // the description the font is made from
    std::unique_ptr<QFont> m_pFont;     // the font drawn with
    std::optional<QCursor> m_hHoverCursor;
    bool m_bLink = false;
};

// Cursor 130: a 32 x 32 monochrome pointing hand with its hot spot at (6, 0),
// drawn here rather than taken from the desktop theme.
QCursor LoadHandCursor();
