#pragma once
// The "Pitch / Spectrogram" window for the sound the player holds. One window
// at a time (g_pAnalysisDlg); each Spectrogram-Pitch command recomputes both
// analyses in the window's model, painting only redraws the model's results
// through CAnalysisPainter, as the command-line renderer does. Lives on the
// user-interface thread.
#include <QDialog>

#include "player/analysis/model/CAnalysisModel.h"
#include "player/audio/SampleStore.h"

class CAnalysisPicture;
class QLabel;

class CAnalysisDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAnalysisDlg(QWidget* pParent = nullptr);
    ~CAnalysisDlg() override;

    // Lays the model out on the client rectangle; returns true.
    bool OnInitDialog();

    // Both return 0, or the not-enough-memory string id (61446), with the busy
    // cursor while they run. ComputePitch tells the user; a spectrogram that
    // cannot be held is simply not drawn.
    int ComputePitch(const SampleStore& store);
    int ComputeSpectrogram(const SampleStore& store);

    // Names the picture for screen readers and describes what it shows: the
    // file, its duration and the pitch range found.
    void DescribePicture(const QString& strName, const SampleStore& store);

    CAnalysisModel& Model() { return m_model; }
    const CAnalysisModel& Model() const { return m_model; }

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void done(int nResult) override;

private:
    CAnalysisModel m_model;
    QLabel* m_pText[3] = {nullptr, nullptr, nullptr};
    CAnalysisPicture* m_pPicture = nullptr;   // over both panels: what a screen reader is told of them
};

// The open analysis window, null when there is none.
extern CAnalysisDlg* g_pAnalysisDlg;

namespace sonavel {

// What the picture shows, in words: "take.wav: pitch 95–180 Hz over 2.4 s"
// (the lowest and highest pitch the track found; "no pitch found" when none).
QString AnalysisPictureDescription(const QString& strName, const SampleStore& store, const CAnalysisModel& model);

// The player's Spectrogram-Pitch command: opens the window if there is none,
// then computes and draws pitch and spectrogram of store (the file strName) in it.
void OpenAnalysisWindow(const SampleStore& store, QWidget* pParent, const QString& strName = QString());

} // namespace sonavel
