#pragma once
// The measuring view: a resizable window with the picture, a scroll bar in
// time and a status line of readouts, menus whose every item has a key, its
// settings kept in the player's profile, exports of the picture and of the
// selection's layers. Pictures, the pitch track and the layers (waveform,
// intensity, formants) are made by a worker off the user-interface thread;
// playback goes through the CSpanPlayer the player hands it (the view never
// includes the player's shell).
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <vector>

#include "player/analysis/measureview/CMeasureModel.h"
#include "player/analysis/measureview/CMeasureWorker.h"
#include "player/analysis/measureview/MeasureSettings.h"
#include "player/analysis/textgrid/CTextGridEdit.h"
#include "player/analysis/window/CSavePictureDlg.h"

class CMeasurePlot;
class CSpanPlayer;
class CSpectralSlicePanel;
class CStatusText;
class CTierStrip;
class QLabel;
class QPlainTextEdit;
class QVBoxLayout;
class QScrollBar;

class CMeasureView : public QMainWindow {
    Q_OBJECT
public:
    explicit CMeasureView(QWidget* pParent = nullptr);
    ~CMeasureView() override;

    // Where the settings are kept (QSettings organisation and application);
    // they are read at once and written whenever they change.
    void SetProfile(const QString& strOrganisation, const QString& strApplication);
    // The sound to show and its name (for the title): all of it, no selection,
    // unless bKeepSpan (another channel of the same file), which keeps the span
    // and the selection shown.
    void SetSound(std::shared_ptr<const CMeasureSound> pSound, const QString& strName, bool bKeepSpan = false);
    // The file's channels and the one shown. With more than one, a Channel
    // menu offers each (Alt+1 to Alt+9 the first nine); choosing another emits
    // ChannelChosen, which the player answers with SetSound and SetChannels.
    void SetChannels(int nChannel, int nChannels);
    void SetPlayer(CSpanPlayer* pPlayer);
    // Selects dStart .. dEnd (seconds) and shows it with a little on either side.
    void ShowSelected(double dStart, double dEnd);
    // Plays the selection, else what is shown, with a moving cursor; false
    // when it could not start (the player has said why).
    bool Play();
    // Whether the player plays anything now (the view's or another playback):
    // Stop (Ctrl+Period) is greyed while nothing plays.
    void SetPlaybackRunning(bool bRunning);
    // A line the status bar keeps for this sound (why --select was not
    // followed, say); the next sound clears it.
    void ShowNote(const QString& strNote);
    QString Note() const;
    // What the header says of this sound after its name (a download that
    // ended before the end its file declares); the next sound clears it.
    void SetHeaderNote(const QString& strNote);

    const sonavel::measure::MeasureSettings& Settings() const { return m_settings; }
    void ApplySettings(const sonavel::measure::MeasureSettings& settings);

    // The file the sound was read from, for the Save dialogs' folder (none:
    // the home folder); it stays until the next call.
    void SetSoundFile(const QString& strPath);
    // The folder the Save dialogs open in (measure::ExportFolder).
    QString ExportFolder() const;
    // Writes what is shown with the tiers under it as a figure (CMeasureFigure):
    // PNG, JPEG, SVG or PDF as the name's extension says, at the size chosen
    // (as shown: the picture's size on screen, at the screen's density);
    // the selection and the cursors only when chosen. False when it could
    // not be written, with why in *pstrWhy when one is given; nothing is shown.
    bool WritePicture(const QString& strPath, const FigureChoice& choice = FigureChoice(),
                      QString* pstrWhy = nullptr) const;
    // Writes the selection's (else what is shown's) frames of every layer as
    // CSV (measure::LayerCsv); false when no layer has a track yet or it could
    // not be written.
    bool WriteLayerTable(const QString& strPath) const;
    // The same for the user: a file that could not be written is said in a box.
    void ExportPicture(const QString& strPath, const FigureChoice& choice = FigureChoice());
    void ExportLayerTable(const QString& strPath);
    // Writes the selection's samples (else the whole sound's) as a mono
    // 16-bit WAV (audio/WaveWriter.h: whole or not at all); never over the
    // sound's own file. False with why in *pstrWhy when one is given.
    bool WriteSelectionSound(const QString& strPath, QString* pstrWhy = nullptr) const;
    // The spectral slice's window (Analysis > Spectral Slice), shown and
    // following the cursor; null until first opened. The view owns it.
    CSpectralSlicePanel* SlicePanel() const;
    // The time the slice is taken at: the cursor, else the selection's
    // middle, else the middle of what is shown.
    double SliceTime() const;
    // The name the Save dialogs offer: the sound's name with strExtension.
    QString SuggestedFileName(const QString& strExtension) const;

    // The TextGrid's tiers under the picture (CMeasureViewTiers.cpp). A file
    // that cannot be read is said in the status note; the tiers stay.
    bool OpenTextGrid(const QString& strPath);
    // Writes the long text form in UTF-8 under a temporary name, then renames
    // it; a failure is said in a box and the tiers stay unsaved.
    bool SaveTextGrid(const QString& strPath);
    // Asks Save / Discard / Cancel while the tiers have unsaved edits: true
    // when they may go (saved, discarded, or none).
    bool MayDiscardTiers();
    // Writes the unsaved edits to their recovery file now (EditRecovery.h),
    // as a few seconds after each edit; the player calls it when it is told
    // to end. Without unsaved edits, the file goes.
    void KeepUnsavedEdits();
    sonavel::textgrid::CTextGridEdit& Tiers() { return m_tiers; }
    QString TextGridPath() const { return m_strGridPath; }
    CTierStrip* Strip(int nTier) const;

    CMeasureModel& Model() { return m_model; }
    CMeasurePlot* Plot() const { return m_pPlot; }
    // The action with this object name ("zoomIn", "play", ...), for tests.
    QAction* Action(const char* szName) const;
    // True while a playback started here runs.
    bool IsPlaying() const { return m_playTimer.isActive(); }

    // The picture's stretch and width the view last asked the worker for.
    const PictureRequest& LastRequest() const { return m_lastRequest; }
    // Where the worker's pictures arrive (on the user-interface thread). One
    // asked for before the sound or the spectrogram's settings changed is
    // dropped; one overtaken by a newer request stands in (drawn over its own
    // stretch) without PictureShown; the newest is shown and said.
    void ShowPicture(std::shared_ptr<const CMeasurePicture> pPicture);

signals:
    // The picture for the newest request is on screen, or the words why it
    // could not be made (tests wait for it).
    void PictureShown();
    // The pitch track arrived or failed.
    void PitchShown();
    // The waveform, the intensity, the formants or the pulses arrived or failed.
    void LayersShown();
    // The voice report's panel shows the newest report asked for, or why
    // there is none.
    void VoiceReportShown();
    // The user chose channel nChannel (1 for the first) of the file.
    void ChannelChosen(int nChannel);

protected:
    void closeEvent(QCloseEvent* pEvent) override;

private:
    static constexpr double kKeyZoom = 2.0;       // + and - halve and double the span
    static constexpr double kArrowScroll = 0.125; // an arrow moves an eighth of the span
    static constexpr double kEdgeStep = 0.01;     // Shift+arrow moves a selection edge a hundredth

    // In CMeasureViewMenus.cpp.
    void CreateActions();
    QAction* AddAction(QMenu* pMenu, const char* szName, const QString& strText, const QList<QKeySequence>& keys);
    // In CMeasureViewTiers.cpp.
    void CreateTiers(QVBoxLayout* pLayout);
    void CreateTierActions(QMenu* pFile);
    void ForgetTiers();
    bool SaveTiers(bool bAskName);
    // In CMeasureViewRecovery.cpp: the recovery file, and the question before
    // a save would write over a file another program or window changed.
    enum class EWrite { Write, SaveAs, Cancel };
    EWrite AskBeforeWriting(const QString& strPath);
    void NoteGridFile();
    void ScheduleRecovery();
    void DropRecovery();
    void OfferRecovery();
    void RebuildStrips();
    void UpdateStrips();
    void UpdateTitle();
    void UpdateTierActions();
    int CurrentTier() const;
    // Selects the tier nTierStep below (negative: above) or the item nItemStep on.
    void StepTiers(int nTierStep, int nItemStep);
    // The interval the tiers have selected (if any) becomes the view's selection.
    void SelectTiersInterval();
    void OnTiersEdited(const QString& strWhyNot);
    void OnTierClicked(double t);
    void OnAddBoundary();
    void OnRemoveBoundary();
    void OnNewTier(sonavel::textgrid::ETierKind eKind);
    void OnRenameTier();
    // In CMeasureViewSettings.cpp, with SetProfile, ApplySettings and OnSettings.
    void ReadProfile();
    void WriteProfile();
    void RequestPicture();
    void RequestPitch();
    // The waveform, intensity and formants: in CMeasureViewLayers.cpp, with
    // the View menu's layer items.
    void RequestLayers();
    void OnLayers(const LayerResults& tracks);
    void ApplyLayerSettings(const sonavel::measure::MeasureSettings& settings);
    void CreateLayerActions(QMenu* pView);
    void CreateWaveformScaleActions(QMenu* pView);
    void SyncLayerActions();
    // In CMeasureViewVoice.cpp: the voice report's action and panel, and the
    // pulses (asked for once per sound, while their layer is shown).
    void CreateVoiceActions(QMenu* pAnalysis);
    void ConnectVoice();
    QPlainTextEdit* VoicePanel();
    void OnVoiceReport();
    void OnVoiceReportDone(const VoiceResult& result);
    void RequestPulses();
    void OnPulses(std::shared_ptr<const sonavel::voice::GlottalPulses> pPulses, sonavel::analysis::EOutcome nResult,
                  unsigned nSerial);
    // The pictures asked for so far are of another sound or other settings.
    void ForgetPicturesAskedFor();
    void OnPitch(std::shared_ptr<const sonavel::pitch::PitchFrames> pFrames, sonavel::analysis::EOutcome nResult,
                 unsigned nSerial);
    void OnSpanChanged();
    void OnSelectionChanged();
    void OnPointer(const QPointF& at);
    void OnPlay();
    void OnPlayTick();
    void OnSettings();
    void OnSavePicture();
    void OnSavePitch();
    // In CMeasureViewSlice.cpp.
    void OnSpectralSlice();
    void UpdateSlicePanel();
    void OnSaveSelectionAsSound();
    void MoveSelectionEdge(bool bEnd, double dFraction);
    void UpdateScrollBar();
    void UpdateTexts();
    double ScrollUnit() const;

    CMeasureModel m_model;
    std::shared_ptr<const CMeasureSound> m_pSound;
    sonavel::measure::MeasureSettings m_settings; // as the user chose them
    QString m_strName;
    QString m_strSoundFile; // absolute, or empty
    QString m_strOrganisation, m_strApplication;
    CMeasurePlot* m_pPlot;
    QScrollBar* m_pScrollBar;
    CStatusText* m_pReadout;
    CStatusText* m_pSelection;
    QLabel* m_pNote;
    QMenu* m_pChannelMenu = nullptr; // shown for a file of several channels
    QPointer<CSpectralSlicePanel> m_pSlicePanel; // a child window, made when first asked for
    CSpanPlayer* m_pPlayer = nullptr;
    sonavel::textgrid::CTextGridEdit m_tiers;
    QString m_strGridPath;          // where the tiers were read or saved; empty for new ones
    // What that file was when read or last saved (a link: and its target).
    struct FileStamp {
        bool bKnown = false;
        bool bLink = false;
        uint64_t nDevice = 0, nInode = 0, nSize = 0;
        int64_t nSeconds = 0, nNanoseconds = 0;
    };
    static FileStamp StampOf(const QString& strPath);
    FileStamp m_gridStamp;
    QTimer m_recoveryTimer;         // runs from an edit until its recovery file is written
    QString m_strRecoveryKey;       // the edits' recovery file's, once written
    qint64 m_nRecoveryWriteMs = 0;  // how long writing it took last
    bool m_bEditsDiscarded = false; // the user dropped them: nothing to keep until the next edit
    QWidget* m_pTierBox = nullptr;  // the strips, one per tier
    std::vector<CTierStrip*> m_strips;
    QTimer m_playTimer;
    FigureChoice m_lastFigure;      // Save Picture's choice, offered again
    unsigned m_nPitchSerial = 0;
    unsigned m_nLayerSerial = 0;
    unsigned m_nPulseSerial = 0;
    unsigned m_nVoiceSerial = 0;
    std::shared_ptr<const CMeasureSound> m_pPulsesAsked; // the sound whose pulses were asked for
    sonavel::voice::VoiceSettings m_pulsesAsked;          // and the floor and ceiling they were asked with
    sonavel::voice::VoiceSettings m_voiceAsked;           // the settings the report was asked with
    QPlainTextEdit* m_pVoiceText = nullptr;              // the voice report's panel, once shown
    QString m_strVoiceName;                              // the name of the sound the report was asked of
    PictureRequest m_lastRequest;   // its nSerial: the newest request's
    bool m_bRequested = false;      // m_lastRequest holds one for this sound and settings
    uint64_t m_nFirstUsableSerial = 1; // older pictures show another sound or other settings
    // Last: its threads stop before anything they report to goes.
    std::unique_ptr<CMeasureWorker> m_pWorker;
};
