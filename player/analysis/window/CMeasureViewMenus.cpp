// The measuring view's menus: every action with its keys, in one place so the
// keyboard map can be read at a glance.
#include "player/analysis/window/CMeasureView.h"

#include <QAction>
#include <QActionGroup>
#include <QMenuBar>

#include "player/analysis/window/CMeasurePlot.h"
#include "player/analysis/window/CSpanPlayer.h"

using namespace sonavel;

QAction* CMeasureView::AddAction(QMenu* pMenu, const char* szName, const QString& strText,
                                 const QList<QKeySequence>& keys)
{
    auto* pAction = new QAction(strText, this);
    pAction->setObjectName(QLatin1String(szName));
    pAction->setShortcuts(keys);
    pAction->setShortcutContext(Qt::WindowShortcut);
    addAction(pAction);
    pMenu->addAction(pAction);
    return pAction;
}

QAction* CMeasureView::Action(const char* szName) const { return findChild<QAction*>(QLatin1String(szName)); }

void CMeasureView::CreateActions()
{
    using QKS = QKeySequence;
    const auto span = [this](auto fn) {
        return [this, fn] {
            fn();
            OnSpanChanged();
        };
    };
    QMenu* pFile = menuBar()->addMenu(QStringLiteral("&File"));
    connect(AddAction(pFile, "savePicture", QString::fromUtf8("Save &Picture\xE2\x80\xA6"), {QKS(Qt::CTRL | Qt::Key_E)}),
            &QAction::triggered, this, &CMeasureView::OnSavePicture);
    connect(AddAction(pFile, "savePitch", QString::fromUtf8("Save Selection as &CSV\xE2\x80\xA6"),
                      {QKS(Qt::CTRL | Qt::SHIFT | Qt::Key_E)}),
            &QAction::triggered, this, &CMeasureView::OnSavePitch);
    connect(AddAction(pFile, "saveSound", QString::fromUtf8("Save Selection As S&ound\xE2\x80\xA6"),
                      {QKS(Qt::CTRL | Qt::ALT | Qt::Key_S)}),
            &QAction::triggered, this, &CMeasureView::OnSaveSelectionAsSound);
    pFile->addSeparator();
    connect(AddAction(pFile, "close", QStringLiteral("&Close"), {QKS(Qt::CTRL | Qt::Key_W)}), &QAction::triggered,
            this, &QWidget::close);

    QMenu* pView = menuBar()->addMenu(QStringLiteral("&View"));
    connect(AddAction(pView, "zoomIn", QStringLiteral("Zoom &In"),
                      {QKS(Qt::Key_Plus), QKS(Qt::Key_Equal), QKS(Qt::CTRL | Qt::Key_Plus), QKS(Qt::CTRL | Qt::Key_Equal)}),
            &QAction::triggered, this, span([this] { m_model.ZoomBy(kKeyZoom, (m_model.Start() + m_model.End()) / 2); }));
    connect(AddAction(pView, "zoomOut", QStringLiteral("Zoom &Out"), {QKS(Qt::Key_Minus), QKS(Qt::CTRL | Qt::Key_Minus)}),
            &QAction::triggered, this,
            span([this] { m_model.ZoomBy(1 / kKeyZoom, (m_model.Start() + m_model.End()) / 2); }));
    connect(AddAction(pView, "zoomSelection", QStringLiteral("Zoom to &Selection"), {QKS(Qt::Key_Z)}),
            &QAction::triggered, this, span([this] {
                if (m_model.HasSelection())
                    m_model.SetSpan(m_model.SelectionStart(), m_model.SelectionEnd());
            }));
    connect(AddAction(pView, "showAll", QStringLiteral("Show &All"), {QKS(Qt::Key_0), QKS(Qt::CTRL | Qt::Key_0)}),
            &QAction::triggered, this, span([this] { m_model.ShowAll(); }));
    pView->addSeparator();
    connect(AddAction(pView, "scrollLeft", QStringLiteral("Scroll &Left"), {QKS(Qt::Key_Left)}), &QAction::triggered,
            this, span([this] { m_model.ScrollBy(-kArrowScroll); }));
    connect(AddAction(pView, "scrollRight", QStringLiteral("Scroll &Right"), {QKS(Qt::Key_Right)}),
            &QAction::triggered, this, span([this] { m_model.ScrollBy(kArrowScroll); }));
    connect(AddAction(pView, "pageLeft", QStringLiteral("&Page Left"), {QKS(Qt::Key_PageUp), QKS(Qt::CTRL | Qt::Key_Left)}),
            &QAction::triggered, this, span([this] { m_model.ScrollBy(-1); }));
    connect(AddAction(pView, "pageRight", QStringLiteral("Page Ri&ght"),
                      {QKS(Qt::Key_PageDown), QKS(Qt::CTRL | Qt::Key_Right)}),
            &QAction::triggered, this, span([this] { m_model.ScrollBy(1); }));
    connect(AddAction(pView, "toStart", QStringLiteral("To the S&tart"), {QKS(Qt::Key_Home)}), &QAction::triggered,
            this, span([this] { m_model.ScrollTo(0); }));
    connect(AddAction(pView, "toEnd", QStringLiteral("To the &End"), {QKS(Qt::Key_End)}), &QAction::triggered, this,
            span([this] { m_model.ScrollTo(m_model.Duration()); }));
    pView->addSeparator();
    CreateLayerActions(pView);
    pView->addSeparator();
    CreateWaveformScaleActions(pView);

    QMenu* pSelection = menuBar()->addMenu(QStringLiteral("&Selection"));
    connect(AddAction(pSelection, "play", QStringLiteral("&Play / Stop"), {QKS(Qt::Key_Space)}), &QAction::triggered,
            this, &CMeasureView::OnPlay);
    // Stops whatever the player plays: it plays one sound at a time.
    connect(AddAction(pSelection, "stop", QStringLiteral("S&top"), {QKS(Qt::CTRL | Qt::Key_Period)}),
            &QAction::triggered, this, [this] {
                if (m_pPlayer)
                    m_pPlayer->StopPlayback();
                OnPlayTick();
            });
    connect(AddAction(pSelection, "selectShown", QStringLiteral("Select What Is &Shown"), {QKS(Qt::CTRL | Qt::Key_A)}),
            &QAction::triggered, this, [this] {
                m_model.SetSelection(m_model.Start(), m_model.End());
                OnSelectionChanged();
            });
    connect(AddAction(pSelection, "clearSelection", QStringLiteral("&Clear Selection"), {QKS(Qt::Key_Escape)}),
            &QAction::triggered, this, [this] {
                m_model.ClearSelection();
                OnSelectionChanged();
            });
    connect(AddAction(pSelection, "endRight", QStringLiteral("Move End &Right"), {QKS(Qt::SHIFT | Qt::Key_Right)}),
            &QAction::triggered, this, [this] { MoveSelectionEdge(true, kEdgeStep); });
    connect(AddAction(pSelection, "endLeft", QStringLiteral("Move End &Left"), {QKS(Qt::SHIFT | Qt::Key_Left)}),
            &QAction::triggered, this, [this] { MoveSelectionEdge(true, -kEdgeStep); });
    connect(AddAction(pSelection, "startRight", QStringLiteral("Move Start R&ight"),
                      {QKS(Qt::CTRL | Qt::SHIFT | Qt::Key_Right)}),
            &QAction::triggered, this, [this] { MoveSelectionEdge(false, kEdgeStep); });
    connect(AddAction(pSelection, "startLeft", QStringLiteral("Move Start L&eft"),
                      {QKS(Qt::CTRL | Qt::SHIFT | Qt::Key_Left)}),
            &QAction::triggered, this, [this] { MoveSelectionEdge(false, -kEdgeStep); });

    QMenu* pAnalysis = menuBar()->addMenu(QStringLiteral("&Analysis"));
    connect(AddAction(pAnalysis, "wideBand", QStringLiteral("&Wide-band (5 ms)"), {QKS(Qt::CTRL | Qt::Key_1)}),
            &QAction::triggered, this, [this] {
                measure::MeasureSettings s = m_settings;
                s.spectrogram.dWindowS = measure::kWideBandWindowS;
                ApplySettings(s);
            });
    connect(AddAction(pAnalysis, "narrowBand", QStringLiteral("&Narrow-band (30 ms)"), {QKS(Qt::CTRL | Qt::Key_2)}),
            &QAction::triggered, this, [this] {
                measure::MeasureSettings s = m_settings;
                s.spectrogram.dWindowS = measure::kNarrowBandWindowS;
                ApplySettings(s);
            });
    connect(AddAction(pAnalysis, "spectralSlice", QStringLiteral("Spectral S&lice"), {QKS(Qt::CTRL | Qt::Key_L)}),
            &QAction::triggered, this, &CMeasureView::OnSpectralSlice);
    connect(AddAction(pAnalysis, "settings", QString::fromUtf8("&Settings\xE2\x80\xA6"), {QKS(Qt::CTRL | Qt::Key_Comma)}),
            &QAction::triggered, this, &CMeasureView::OnSettings);
    CreateVoiceActions(pAnalysis);
    CreateTierActions(pFile);
    m_pChannelMenu = menuBar()->addMenu(QStringLiteral("&Channel"));
    m_pChannelMenu->menuAction()->setVisible(false);
    Action("play")->setEnabled(false);
    Action("stop")->setEnabled(false);
    // A screen reader announces each menu by its title's words.
    for (QMenu* pMenu : {pFile, pView, pSelection, pAnalysis, m_pChannelMenu})
        pMenu->setAccessibleName(pMenu->title().remove(QLatin1Char('&')));
}

void CMeasureView::SetChannels(int nChannel, int nChannels)
{
    // The menu's own actions go with its clear(), their group with them.
    m_pChannelMenu->clear();
    qDeleteAll(m_pChannelMenu->findChildren<QActionGroup*>(QString(), Qt::FindDirectChildrenOnly));
    m_pChannelMenu->menuAction()->setVisible(nChannels > 1);
    if (nChannels <= 1)
        return;
    auto* pGroup = new QActionGroup(m_pChannelMenu);
    for (int n = 1; n <= nChannels; ++n) {
        auto* pAction = new QAction(QStringLiteral("Channel &%1").arg(n), m_pChannelMenu);
        pAction->setObjectName(QStringLiteral("channel%1").arg(n));
        pAction->setCheckable(true);
        pAction->setChecked(n == nChannel);
        if (n <= 9)
            pAction->setShortcut(QKeySequence(Qt::ALT | Qt::Key(Qt::Key_0 + n)));
        pAction->setShortcutContext(Qt::WindowShortcut);
        pGroup->addAction(pAction);
        m_pChannelMenu->addAction(pAction);
        connect(pAction, &QAction::triggered, this, [this, n, nChannel] {
            if (n != nChannel)
                emit ChannelChosen(n);
        });
    }
}
