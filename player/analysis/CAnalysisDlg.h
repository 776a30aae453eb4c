#pragma once
// The "Pitch / Spectrogram" window: a pitch track as dots on a fixed 50-250 Hz
// scale above a grey-scale spectrogram of 0-5000 Hz, for the sound the player
// holds. One window at a time (g_pAnalysisDlg); each Spectrogram-Pitch command
// recomputes both analyses, painting only redraws the stored results. Every
// Draw member paints through a QPainter, so the window and an image share it.
#include <QDialog>

#include <array>

#include "player/audio/CSampleBlock.h"
#include "player/audio/SampleStore.h"

class QLabel;
class QPainter;

class CAnalysisDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAnalysisDlg(QWidget* pParent = nullptr);
    ~CAnalysisDlg() override;

    // Layout and defaults from the client rectangle; returns true.
    bool OnInitDialog();

    // Both return 0, or the not-enough-memory string id (61446). ComputePitch
    // tells the user; a spectrogram that cannot be held is simply not drawn.
    int ComputePitch(const SampleStore& store);
    int ComputeSpectrogram(const SampleStore& store);
    int AllocColumns();
    void FreeColumns();

    // What a paint request does: both panels from the stored results.
    void DrawPitch(QPainter& dc);
    void DrawSpectrogram(QPainter& dc);
    void DrawPitchDots(QPainter& dc, int nDotSize, int nLeft, int nBottom, int nHeight, int nWidth);
    void DrawScale(QPainter& dc, int nLeft, int nBottom, int nHeight, int nWidth, int nStep,
                   int nTop, int nBase);

    // A rectangle as the layout sees it: right and bottom are exclusive.
    struct Rect {
        int left = 0, top = 0, right = 0, bottom = 0;
        int Width() const { return right - left; }
        int Height() const { return bottom - top; }
    };

    // Read-only views for callers that draw or check the results.
    int Columns() const { return m_nColumns; }
    int Rows() const { return m_nRows; }
    const Rect& PitchRect() const { return m_rcPitch; }
    const Rect& SpectrogramRect() const { return m_rcSpectrogram; }
    bool IsPitchReady() const { return m_bPitchReady != 0; }
    bool IsSpectrogramReady() const { return m_bSpectrogramReady != 0; }
    int PitchCount() const { return m_nPitchCount; }

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void done(int nResult) override;

    static constexpr int kMaxColumns = 3000;

    int m_nColumns = 0;
    int m_nRows = 0;
    int m_nFrameLength = 64;
    int m_nTopFrequency = 5000;
    int m_nDynamicRange = 35;
    int m_bSpectrogramReady = 0;
    int m_bPitchReady = 0;
    Rect m_rcClient;
    Rect m_rcSpectrogram;
    Rect m_rcPitch;
    int m_nColumnLength = 0;
    std::array<CSampleBlockHandle, kMaxColumns> m_hColumns;
    // Wide enough for the pitch count of any sound the store can hold.
    int m_nPitchCount = 0;
    CSampleBlockHandle m_hPitch;
    int m_nPitchMin = 50;
    int m_nPitchMax = 250;

private:
    void ReleaseResults();
    // Grid points of a column that lie within the frame's bins at this rate.
    int HeldGridPoints(int nPoints, int nSampleRate) const;

    QLabel* m_pText[3] = {nullptr, nullptr, nullptr};
};

// The open analysis window, null when there is none.
extern CAnalysisDlg* g_pAnalysisDlg;

namespace sonavel {

// The player's Spectrogram-Pitch command: opens the window if there is none,
// then computes and draws pitch and spectrogram of store in it.
void OpenAnalysisWindow(const SampleStore& store, QWidget* pParent);

} // namespace sonavel
