#pragma once
// A read-only box for one address of any length, in the fixed-pitch font. The
// address is cut into lines of kLineChars characters, each a paragraph of its
// own, so the box lays out only the lines in sight: a 2 MB address shows, scrolls
// and resizes as quickly as a short one, where one 2 MB line would be shaped whole
// on the UI thread again and again. Copying gives the address without the cuts.
#include <QPlainTextEdit>
#include <QStringView>

namespace velmora {

// text cut into lines of nLineChars characters. With nMaxLines > 0, a longer
// text keeps its start and its last line's worth of characters, with "…" for
// what lies between, in exactly nMaxLines lines. The work is bounded by what is
// returned, never by the length of text. Meant for fully encoded addresses
// (ASCII), so a cut never splits a character.
QString BreakAddress(QStringView text, int nLineChars, int nMaxLines = 0);

}  // namespace velmora

class CAddressText : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr int kLineChars = 64;

    explicit CAddressText(QWidget* pParent = nullptr);

    void SetAddress(const QString& strAddress);
    const QString& Address() const { return m_strAddress; }

protected:
    QMimeData* createMimeDataFromSelection() const override;

private:
    QString m_strAddress;
};
