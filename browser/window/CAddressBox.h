#pragma once
// The address box: an editable combo box whose screen-reader name is its
// label's word ("Address") and whose value is the address in it. Qt's own
// combo box gives the typed text as the name on Linux, so a reader would
// announce a URL where the user expects to hear what the box is for. It says
// activated only when an item of its list is chosen, never when the focus
// leaves the edit field.
//
// Lives on the UI thread; its Qt parent owns it, and it owns the widgets it makes.
#include <QComboBox>

class CAddressBox : public QComboBox {
    Q_OBJECT
public:
    explicit CAddressBox(QWidget* pParent);
};
