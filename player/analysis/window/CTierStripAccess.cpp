#include "player/analysis/window/CTierStripAccess.h"

#include "player/analysis/window/CTierStrip.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <QWindow>

#include <vector>

namespace {

// One interval or point. It holds only its strip and its place, so what it
// says is always the grid as it is now; a place past the tier's end is no
// longer valid.
class CTierItemAccess : public QAccessibleInterface {
public:
    CTierItemAccess(CTierStrip* pStrip, int nItem) : m_pStrip(pStrip), m_nItem(nItem) {}

    int Item() const { return m_nItem; }

    bool isValid() const override { return m_pStrip && m_nItem < m_pStrip->ItemCount(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_pStrip ? m_pStrip->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_pStrip.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text eText) const override
    {
        return isValid() && eText == QAccessible::Name ? m_pStrip->ItemText(m_nItem) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect rc = m_pStrip->ItemRect(m_nItem).toAlignedRect().intersected(m_pStrip->rect());
        return QRect(m_pStrip->mapToGlobal(rc.topLeft()), rc.size());
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        state.selectable = true;
        state.focusable = true;
        state.invisible = !m_pStrip->isVisible();
        const bool bSelected = m_pStrip->IsSelected(m_nItem);
        state.selected = bSelected;
        // The view's keys act on the selected item wherever the focus is in
        // its window, so that item is the reader's focus there.
        state.focused = bSelected && m_pStrip->window()->isActiveWindow();
        return state;
    }

private:
    QPointer<CTierStrip> m_pStrip;
    int m_nItem;
};

// The strip: its items first, then its own child widgets (the label editor).
// The items' interfaces are made when first asked for and live as long as the
// strip's, in Qt's cache, which hands out their ids.
class CTierStripAccess : public QAccessibleWidget {
public:
    explicit CTierStripAccess(CTierStrip* pStrip) : QAccessibleWidget(pStrip) {}
    ~CTierStripAccess() override
    {
        for (QAccessible::Id id : m_ids)
            if (id != 0)
                QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return Strip()->ItemCount() + QAccessibleWidget::childCount(); }

    QAccessibleInterface* child(int nIndex) const override
    {
        const int nItems = Strip()->ItemCount();
        if (nIndex < 0)
            return nullptr;
        if (nIndex >= nItems)
            return QAccessibleWidget::child(nIndex - nItems);
        if (nIndex >= static_cast<int>(m_ids.size()))
            m_ids.resize(nIndex + 1, 0);
        if (m_ids[nIndex] == 0)
            m_ids[nIndex] = QAccessible::registerAccessibleInterface(new CTierItemAccess(Strip(), nIndex));
        return QAccessible::accessibleInterface(m_ids[nIndex]);
    }

    int indexOfChild(const QAccessibleInterface* pChild) const override
    {
        if (const auto* pItem = dynamic_cast<const CTierItemAccess*>(pChild))
            return pItem->isValid() ? pItem->Item() : -1;
        const int n = QAccessibleWidget::indexOfChild(pChild);
        return n < 0 ? -1 : n + Strip()->ItemCount();
    }

    QAccessibleInterface* childAt(int x, int y) const override
    {
        if (QAccessibleInterface* pWidget = QAccessibleWidget::childAt(x, y))
            return pWidget;
        for (int n = 0; n < Strip()->ItemCount(); ++n)
            if (QAccessibleInterface* pItem = child(n); pItem && pItem->rect().contains(x, y))
                return pItem;
        return nullptr;
    }

private:
    CTierStrip* Strip() const { return static_cast<CTierStrip*>(widget()); }

    mutable std::vector<QAccessible::Id> m_ids;
};

QAccessibleInterface* MakeAccess(const QString& strClass, QObject* pObject)
{
    if (strClass == QLatin1String("CTierStrip") && pObject && pObject->isWidgetType())
        return new CTierStripAccess(static_cast<CTierStrip*>(pObject));
    return nullptr;
}

} // namespace

namespace tierstrip {

void InstallAccess()
{
    static const bool s_bInstalled = [] {
        QAccessible::installFactory(MakeAccess);
        return true;
    }();
    (void)s_bInstalled;
}

} // namespace tierstrip
