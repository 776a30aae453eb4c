#pragma once
// The foot of a dialog whose fields take whatever is typed: a red line that
// says why they cannot be taken, hidden while they can, and the dialog's
// buttons, whose OK stays grey until the fields are mended (a field that
// clamped its own value would change it behind the user's back). The line and
// the buttons belong to the dialog once its layout holds them; only the UI
// thread uses them.
#include <QDialogButtonBox>
#include <QString>

class QDialog;
class QLabel;

class CFieldProblem {
public:
    // OK and Cancel, and any more buttons, that accept and reject pDlg; the
    // line's object name is what tests and screen readers find it by.
    CFieldProblem(QDialog* pDlg, const QString& strObjectName, QDialogButtonBox::StandardButtons more = {});

    QLabel* Line() const { return m_pLine; }
    QDialogButtonBox* Buttons() const { return m_pButtons; }
    // Says strProblem under the fields; an empty one hides the line and lets
    // OK be pressed.
    void Show(const QString& strProblem);

private:
    QLabel* m_pLine;
    QDialogButtonBox* m_pButtons;
};
