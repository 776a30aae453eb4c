// The measuring view's tier edits by key and menu: stepping through tiers and
// items, boundaries added and removed, tiers made and renamed.
#include "player/analysis/window/CMeasureView.h"

#include <QInputDialog>

#include <algorithm>
#include <cmath>

#include "player/analysis/window/CMeasurePlot.h"
#include "player/analysis/window/CStatusText.h"
#include "player/analysis/window/CTierStrip.h"
#include "player/analysis/window/Messages.h"

using namespace sonavel;
using textgrid::ETierKind;

int CMeasureView::CurrentTier() const
{
    // The keys act on the tier clicked last, else on the first.
    return m_tiers.SelectedTier() >= 0 ? m_tiers.SelectedTier() : (m_tiers.TierCount() > 0 ? 0 : -1);
}

void CMeasureView::StepTiers(int nTierStep, int nItemStep)
{
    const int nFrom = CurrentTier();
    if (nFrom < 0)
        return;
    const int nTier = std::clamp(nFrom + nTierStep, 0, static_cast<int>(m_tiers.TierCount()) - 1);
    const textgrid::Tier& tier = m_tiers.Grid().tiers[nTier];
    const bool bIntervals = tier.eKind == ETierKind::Interval;
    const int nItems = static_cast<int>(bIntervals ? tier.intervals.size() : tier.points.size());
    int nItem = m_tiers.SelectedTier() == nTier ? m_tiers.SelectedItem() : -1;
    if (nTierStep != 0) {
        // Another tier: what lies there at the cursor, else in the middle of what is shown.
        const double t = m_model.HasCursor() ? m_model.Cursor() : (m_model.Start() + m_model.End()) / 2;
        nItem = m_tiers.ItemAt(nTier, t, m_model.Span() / 100);
    } else if (nItems > 0) {
        nItem = nItem < 0 ? (nItemStep > 0 ? 0 : nItems - 1) : std::clamp(nItem + nItemStep, 0, nItems - 1);
    }
    m_tiers.Select(nTier, nItem);
    if (nItem >= 0) {
        const double a = bIntervals ? tier.intervals[nItem].dStart : tier.points[nItem].dTime;
        const double b = bIntervals ? tier.intervals[nItem].dEnd : a;
        if (bIntervals)
            m_model.SetSelection(a, b);
        else
            m_model.SetCursor(a);
        // Brought into sight when it lies outside what is shown.
        if (b < m_model.Start() || a > m_model.End()) {
            m_model.ScrollTo(a - m_model.Span() / 10);
            OnSpanChanged();
        }
    }
    OnSelectionChanged();
    UpdateStrips();
    // The strip takes the focus, so a screen reader says the tier and what is selected.
    if (CTierStrip* pStrip = Strip(nTier))
        pStrip->setFocus(Qt::OtherFocusReason);
}

void CMeasureView::OnAddBoundary()
{
    const int nTier = CurrentTier();
    if (nTier < 0)
        return;
    if (!m_model.HasCursor()) {
        ShowNote(QStringLiteral("Click where the boundary goes first"));
        return;
    }
    OnTiersEdited(QString::fromStdString(m_tiers.AddBoundary(nTier, m_model.Cursor())));
}

void CMeasureView::OnRemoveBoundary()
{
    const int nTier = m_tiers.SelectedTier(), nItem = m_tiers.SelectedItem();
    if (nTier < 0 || nItem < 0)
        return;
    const textgrid::Tier& tier = m_tiers.Grid().tiers[nTier];
    size_t nBoundary = static_cast<size_t>(nItem);
    if (tier.eKind == ETierKind::Interval) {
        // The selected interval's edge nearer the cursor (its end without one);
        // the tier's own ends are no boundaries.
        const textgrid::Interval& i = tier.intervals[nItem];
        const bool bStart = m_model.HasCursor() && std::abs(m_model.Cursor() - i.dStart) < std::abs(m_model.Cursor() - i.dEnd);
        if ((bStart && nItem == 0) || (!bStart && nItem + 1 == static_cast<int>(tier.intervals.size())))
            return OnTiersEdited(QStringLiteral("the tier's own start and end stay"));
        nBoundary = bStart ? nItem - 1 : nItem;
    }
    OnTiersEdited(QString::fromStdString(m_tiers.RemoveBoundary(nTier, nBoundary)));
}

void CMeasureView::OnNewTier(ETierKind eKind)
{
    bool bOk = false;
    const QString strName = QInputDialog::getText(this, QStringLiteral("New Tier"), QStringLiteral("Name of the tier:"),
                                                  QLineEdit::Normal,
                                                  eKind == ETierKind::Interval ? QStringLiteral("words") : QStringLiteral("tones"), &bOk);
    if (!bOk)
        return;
    if (m_tiers.Grid().dEnd <= m_tiers.Grid().dStart) {
        // No grid yet: one over the whole sound.
        textgrid::TextGrid grid = m_tiers.Grid();
        grid.dStart = 0;
        grid.dEnd = m_model.Duration();
        if (grid.tiers.empty())
            m_tiers.Reset(grid);
    }
    const int nAt = m_tiers.SelectedTier() >= 0 ? m_tiers.SelectedTier() + 1 : static_cast<int>(m_tiers.TierCount());
    OnTiersEdited(QString::fromStdString(m_tiers.AddTier(nAt, strName.toStdString(), eKind)));
}

void CMeasureView::OnRenameTier()
{
    const int nTier = CurrentTier();
    if (nTier < 0)
        return;
    bool bOk = false;
    const QString strName = QInputDialog::getText(this, QStringLiteral("Rename Tier"), QStringLiteral("Name of the tier:"),
                                                  QLineEdit::Normal,
                                                  QString::fromStdString(m_tiers.Grid().tiers[nTier].strName), &bOk);
    if (bOk)
        OnTiersEdited(QString::fromStdString(m_tiers.RenameTier(nTier, strName.toStdString())));
}
