// The measuring view's TextGrid: the tier strips under the picture, their
// menus (Tier, Edit, and the File menu's open and save) and the question
// before unsaved edits would go; the edits by key are CMeasureViewTierKeys.cpp's.
#include "player/analysis/window/CMeasureView.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QVBoxLayout>

#include <algorithm>

#include "player/analysis/measureview/MeasureTexts.h"
#include "player/analysis/textgrid/TextGridReader.h"
#include "player/analysis/textgrid/TextGridWriter.h"
#include "player/analysis/window/CMeasurePlot.h"
#include "player/analysis/window/CStatusText.h"
#include "player/analysis/window/CTierStrip.h"
#include "player/analysis/window/Messages.h"

using namespace sonavel;
using textgrid::ETierKind;

void CMeasureView::CreateTiers(QVBoxLayout* pLayout)
{
    m_pTierBox = new QWidget;
    m_pTierBox->setObjectName(QStringLiteral("tiers"));
    m_pTierBox->setAccessibleName(QStringLiteral("Tiers"));
    auto* pTierLayout = new QVBoxLayout(m_pTierBox);
    pTierLayout->setContentsMargins(0, 0, 0, 0);
    pTierLayout->setSpacing(0);
    // Under the picture, above the scroll bar: on the picture's time axis.
    pLayout->insertWidget(pLayout->indexOf(m_pPlot) + 1, m_pTierBox);
    m_pTierBox->hide();
    for (auto signal : {&CMeasurePlot::Resized, &CMeasurePlot::SpanChanged, &CMeasurePlot::SelectionChanged})
        connect(m_pPlot, signal, this, &CMeasureView::UpdateStrips);
}

void CMeasureView::CreateTierActions(QMenu* pFile)
{
    using QKS = QKeySequence;
    QAction* pFirst = pFile->actions().value(0);
    auto* pOpen = AddAction(pFile, "openTextGrid", QString::fromUtf8("&Open TextGrid\xE2\x80\xA6"), {QKS(Qt::CTRL | Qt::Key_O)});
    auto* pSave = AddAction(pFile, "saveTextGrid", QStringLiteral("Save &TextGrid"), {QKS(Qt::CTRL | Qt::Key_S)});
    auto* pSaveAs = AddAction(pFile, "saveTextGridAs", QString::fromUtf8("Save TextGrid &As\xE2\x80\xA6"),
                              {QKS(Qt::CTRL | Qt::SHIFT | Qt::Key_S)});
    // The TextGrid's commands come first in the File menu, the exports after.
    for (QAction* pAction : {pOpen, pSave, pSaveAs})
        pFile->insertAction(pFirst, pAction);
    pFile->insertSeparator(pFirst);
    connect(pOpen, &QAction::triggered, this, [this] {
        // Where the TextGrid open now lies, else where the sound is: never
        // wherever the player happened to be started.
        const QString strFolder = m_strGridPath.isEmpty() ? ExportFolder() : QFileInfo(m_strGridPath).absolutePath();
        const QString strPath = QFileDialog::getOpenFileName(this, QStringLiteral("Open TextGrid"), strFolder,
                                                             QStringLiteral("TextGrid (*.TextGrid *.textgrid);;All files (*)"),
                                                             nullptr, QFileDialog::DontUseNativeDialog);
        if (!strPath.isEmpty() && MayDiscardTiers())
            OpenTextGrid(strPath);
    });
    connect(pSave, &QAction::triggered, this, [this] { SaveTiers(false); });
    connect(pSaveAs, &QAction::triggered, this, [this] { SaveTiers(true); });

    QMenu* pEdit = menuBar()->addMenu(QStringLiteral("&Edit"));
    connect(AddAction(pEdit, "undo", QStringLiteral("&Undo"), {QKS(Qt::CTRL | Qt::Key_Z)}), &QAction::triggered, this,
            [this] {
                if (m_tiers.Undo())
                    OnTiersEdited(QString());
            });
    connect(AddAction(pEdit, "redo", QStringLiteral("&Redo"), {QKS(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKS(Qt::CTRL | Qt::Key_Y)}),
            &QAction::triggered, this, [this] {
                if (m_tiers.Redo())
                    OnTiersEdited(QString());
            });

    QMenu* pTier = menuBar()->addMenu(QStringLiteral("&Tier"));
    connect(AddAction(pTier, "newIntervalTier", QString::fromUtf8("New &Interval Tier\xE2\x80\xA6"), {QKS(Qt::CTRL | Qt::Key_T)}),
            &QAction::triggered, this, [this] { OnNewTier(ETierKind::Interval); });
    connect(AddAction(pTier, "newPointTier", QString::fromUtf8("New &Point Tier\xE2\x80\xA6"), {QKS(Qt::CTRL | Qt::SHIFT | Qt::Key_T)}),
            &QAction::triggered, this, [this] { OnNewTier(ETierKind::Point); });
    connect(AddAction(pTier, "renameTier", QString::fromUtf8("Re&name Tier\xE2\x80\xA6"), {QKS(Qt::CTRL | Qt::Key_R)}),
            &QAction::triggered, this, &CMeasureView::OnRenameTier);
    connect(AddAction(pTier, "removeTier", QStringLiteral("Re&move Tier"), {QKS(Qt::CTRL | Qt::Key_Delete)}),
            &QAction::triggered, this, [this] {
                if (CurrentTier() >= 0)
                    OnTiersEdited(QString::fromStdString(m_tiers.RemoveTier(CurrentTier())));
            });
    pTier->addSeparator();
    connect(&m_recoveryTimer, &QTimer::timeout, this, &CMeasureView::KeepUnsavedEdits);
    connect(AddAction(pTier, "addBoundary", QStringLiteral("&Add Boundary at Cursor"), {QKS(Qt::Key_Return), QKS(Qt::Key_Enter)}),
            &QAction::triggered, this, &CMeasureView::OnAddBoundary);
    connect(AddAction(pTier, "removeBoundary", QStringLiteral("&Remove Boundary"), {QKS(Qt::Key_Delete)}),
            &QAction::triggered, this, &CMeasureView::OnRemoveBoundary);
    connect(AddAction(pTier, "editLabel", QStringLiteral("&Edit Label"), {QKS(Qt::Key_F2)}), &QAction::triggered, this,
            [this] {
                CTierStrip* pStrip = Strip(m_tiers.SelectedTier());
                if (!pStrip || !pStrip->EditLabel())
                    ShowNote(QStringLiteral("Click an interval or a point of a tier first"));
            });
    pTier->addSeparator();
    // The keyboard's way to every interval and point, and the reader's.
    connect(AddAction(pTier, "nextItem", QStringLiteral("Ne&xt Interval or Point"), {QKS(Qt::ALT | Qt::Key_Right)}),
            &QAction::triggered, this, [this] { StepTiers(0, 1); });
    connect(AddAction(pTier, "previousItem", QStringLiteral("Pre&vious Interval or Point"), {QKS(Qt::ALT | Qt::Key_Left)}),
            &QAction::triggered, this, [this] { StepTiers(0, -1); });
    connect(AddAction(pTier, "tierBelow", QStringLiteral("Tier &Below"), {QKS(Qt::Key_Down)}), &QAction::triggered, this,
            [this] { StepTiers(1, 0); });
    connect(AddAction(pTier, "tierAbove", QStringLiteral("Tier Abo&ve"), {QKS(Qt::Key_Up)}), &QAction::triggered, this,
            [this] { StepTiers(-1, 0); });
    for (QMenu* pMenu : {pEdit, pTier})
        pMenu->setAccessibleName(pMenu->title().remove(QLatin1Char('&')));
    m_tiers.Reset(textgrid::TextGrid{});
    UpdateTierActions();
}

CTierStrip* CMeasureView::Strip(int nTier) const
{
    return nTier >= 0 && nTier < static_cast<int>(m_strips.size()) ? m_strips[nTier] : nullptr;
}

void CMeasureView::ForgetTiers()
{
    // A new sound starts without tiers, over its own length.
    m_tiers.Reset(textgrid::TextGrid{0, m_model.Duration(), {}});
    m_strGridPath.clear();
    NoteGridFile();
    m_recoveryTimer.stop();
    m_strRecoveryKey.clear();
    RebuildStrips();
}

bool CMeasureView::OpenTextGrid(const QString& strPath)
{
    // Before reading: a change between the two makes a later save ask, never
    // pass unseen.
    const FileStamp stamp = StampOf(strPath);
    const textgrid::ReadResult result = textgrid::ReadTextGrid(QFile::encodeName(strPath).toStdString());
    if (!result.Ok()) {
        ShowNote(QString::fromStdString(textgrid::DescribeFailure(strPath.toStdString(), result)));
        return false;
    }
    m_tiers.Reset(result.grid);
    m_strGridPath = strPath;
    m_gridStamp = stamp;
    m_recoveryTimer.stop();
    m_strRecoveryKey.clear();
    m_bEditsDiscarded = false;
    RebuildStrips();
    OfferRecovery();
    return true;
}

bool CMeasureView::SaveTextGrid(const QString& strPath)
{
    const textgrid::WriteResult result = textgrid::WriteTextGrid(m_tiers.Grid(), QFile::encodeName(strPath).toStdString());
    if (!result.bOk) {
        SonavelMessageBox("Cannot write " + strPath.toStdString() + ": " + result.strWhat);
        return false;
    }
    m_strGridPath = strPath;
    m_tiers.MarkSaved();
    NoteGridFile();
    KeepUnsavedEdits(); // saved: the recovery file goes
    UpdateTitle();
    return true;
}

bool CMeasureView::SaveTiers(bool bAskName)
{
    QString strPath = m_strGridPath;
    if (bAskName || strPath.isEmpty())
        strPath = QFileDialog::getSaveFileName(
            this, QStringLiteral("Save TextGrid"),
            strPath.isEmpty() ? QDir(ExportFolder()).filePath(SuggestedFileName(QStringLiteral(".TextGrid"))) : strPath,
            QStringLiteral("TextGrid (*.TextGrid)"), nullptr, QFileDialog::DontUseNativeDialog);
    if (strPath.isEmpty())
        return false;
    switch (AskBeforeWriting(strPath)) {
    case EWrite::SaveAs:
        return SaveTiers(true);
    case EWrite::Cancel:
        return false;
    case EWrite::Write:
        break;
    }
    return SaveTextGrid(strPath);
}

bool CMeasureView::MayDiscardTiers()
{
    if (!m_tiers.IsModified())
        return true;
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(measure::kszViewTitle),
                    QStringLiteral("The tiers have changes that are not saved. Save them?"),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveTiers(false);
    case QMessageBox::Discard:
        DropRecovery();
        return true;
    default:
        return false;
    }
}

void CMeasureView::closeEvent(QCloseEvent* pEvent)
{
    if (MayDiscardTiers())
        pEvent->accept();
    else
        pEvent->ignore();
}

void CMeasureView::RebuildStrips()
{
    qDeleteAll(m_strips);
    m_strips.clear();
    for (size_t n = 0; n < m_tiers.TierCount(); ++n) {
        auto* pStrip = new CTierStrip(m_model, m_tiers, static_cast<int>(n), m_pTierBox);
        connect(pStrip, &CTierStrip::Edited, this, &CMeasureView::OnTiersEdited);
        connect(pStrip, &CTierStrip::Clicked, this, &CMeasureView::OnTierClicked);
        // Where the boundary would land, said while it moves.
        connect(pStrip, &CTierStrip::Dragging, this, [this](double t) {
            m_pReadout->setText(QStringLiteral("Boundary at ")
                                + QString::fromStdString(measure::CursorSeconds(t, m_model.Span())));
        });
        m_pTierBox->layout()->addWidget(pStrip);
        m_strips.push_back(pStrip);
    }
    m_pTierBox->setVisible(!m_strips.empty());
    UpdateStrips();
    UpdateTitle();
}

void CMeasureView::UpdateStrips()
{
    const CMeasureLayout layout = m_pPlot->Layout();
    for (CTierStrip* pStrip : m_strips) {
        pStrip->SetTimeAxis(layout.PlotLeft(), layout.PlotWidth());
        pStrip->Refresh();
    }
}

void CMeasureView::UpdateTitle()
{
    // Names are shown, never obeyed: no bidirectional control of theirs turns the title round.
    const auto shown = [](const QString& str) { return QString::fromStdString(measure::IsolatedName(str.toStdString())); };
    QString strTitle = shown(m_strName);
    if (!m_strGridPath.isEmpty())
        strTitle += QStringLiteral(" + ") + shown(QFileInfo(m_strGridPath).fileName());
    // The mark spelled out rather than Qt's placeholder, so the title reads
    // the same to every window manager and screen reader.
    const bool bModified = m_tiers.IsModified();
    setWindowTitle(strTitle + (bModified ? QStringLiteral("*") : QString()) + QString::fromUtf8(" \xE2\x80\x94 ")
                   + QString::fromUtf8(measure::kszViewTitle));
    UpdateTierActions();
}

void CMeasureView::UpdateTierActions()
{
    Action("undo")->setEnabled(m_tiers.CanUndo());
    Action("redo")->setEnabled(m_tiers.CanRedo());
    const bool bTier = m_tiers.TierCount() > 0;
    for (const char* szName : {"renameTier", "removeTier", "addBoundary", "removeBoundary", "editLabel", "nextItem",
                               "previousItem", "tierBelow", "tierAbove"})
        Action(szName)->setEnabled(bTier);
}

void CMeasureView::SelectTiersInterval()
{
    const int nTier = m_tiers.SelectedTier(), nItem = m_tiers.SelectedItem();
    if (nTier >= 0 && nItem >= 0 && m_tiers.Grid().tiers[nTier].eKind == ETierKind::Interval) {
        const textgrid::Interval& i = m_tiers.Grid().tiers[nTier].intervals[nItem];
        m_model.SetSelection(i.dStart, i.dEnd);
    }
    OnSelectionChanged();
    UpdateStrips();
}

void CMeasureView::OnTiersEdited(const QString& strWhyNot)
{
    if (!strWhyNot.isEmpty()) {
        ShowNote(strWhyNot.left(1).toUpper() + strWhyNot.mid(1));
        return;
    }
    if (m_strips.size() != m_tiers.TierCount())
        RebuildStrips();
    // The selection follows the edit: after a boundary is added or removed
    // (or an edit undone) it is the interval the tier has selected now.
    SelectTiersInterval();
    UpdateTitle();
    ScheduleRecovery();
}

void CMeasureView::OnTierClicked(double t)
{
    m_model.SetCursor(std::clamp(t, 0.0, m_model.Duration()));
    // The interval clicked is the selection, so Space plays it.
    SelectTiersInterval();
    UpdateTierActions();
}
