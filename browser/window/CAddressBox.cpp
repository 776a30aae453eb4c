#include "browser/window/CAddressBox.h"

#include "browser/startup/VelmoraResource.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QLineEdit>

namespace {

// The box and its edit field as one editable combo box: named "Address", the
// address as its value, the edit field as its child, and an action that opens
// the list of addresses shown.
class CAddressBoxAccessible : public QAccessibleWidget {
public:
    explicit CAddressBoxAccessible(CAddressBox* pBox) : QAccessibleWidget(pBox, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override
    {
        auto* pBox = static_cast<CAddressBox*>(widget());
        if (t == QAccessible::Value)
            return pBox->lineEdit() ? pBox->lineEdit()->text() : pBox->currentText();
        if (t == QAccessible::Name)
            return pBox->accessibleName().isEmpty() ? QString::fromLatin1(velmora::IDS_ADDRESS) : pBox->accessibleName();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.editable = true;
        state.expandable = true;
        state.expanded = static_cast<CAddressBox*>(widget())->view()->isVisible();
        return state;
    }

    QStringList actionNames() const override
    {
        return QStringList{showMenuAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& strAction) override
    {
        if (strAction == showMenuAction())
            static_cast<CAddressBox*>(widget())->showPopup();
        else
            QAccessibleWidget::doAction(strAction);
    }
};

QAccessibleInterface* AddressBoxAccessible(const QString& strClass, QObject* pObject)
{
    if (strClass == QLatin1String("CAddressBox") && pObject && pObject->isWidgetType())
        return new CAddressBoxAccessible(static_cast<CAddressBox*>(pObject));
    return nullptr;
}

}  // namespace

CAddressBox::CAddressBox(QWidget* pParent) : QComboBox(pParent)
{
    static const bool bFactory = (QAccessible::installFactory(AddressBoxAccessible), true);
    (void)bFactory;
    setEditable(true);
    // Qt's box takes the edit field's editingFinished (Enter, and the focus
    // leaving the field for any reason: F6, Tab, a click, another window) as a
    // choice of the list item that matches the text, and says activated. After
    // a sound link the text is the sound's address, the list's first item, so
    // moving the focus on would open the sound again. Only the list chooses an
    // item here; the frame takes Enter from the box's key events.
    QObject::disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
}
