#pragma once
// The measuring view's spectral slice: a small window of its own with the
// spectrum at one time (a grey curve) and the formant analysis' envelope there
// (a red one) over axes in Hz and dB, and the peaks of both as readouts. It
// only draws what it is handed; the view computes the slice. Owned by the view
// (its Qt parent), used on the user-interface thread only.
#include <QString>
#include <QWidget>

#include "player/analysis/slice/SpectralSlice.h"

class QLabel;

class CSpectralSlicePanel : public QWidget {
    Q_OBJECT
public:
    explicit CSpectralSlicePanel(QWidget* pParent);

    // The slice taken at dTimeS with a window of dWindowS, drawn from 0 Hz up
    // to dTopHz (the spectrogram's top, at most half the rate).
    void ShowSlice(const sonavel::slice::SpectralSlice& slice, double dTimeS, double dWindowS, double dTopHz);
    // No slice: strWhy says why (no sound, a failure).
    void ShowNothing(const QString& strWhy);

    // The readouts' text as shown, for tests and screen readers.
    QString PeaksText() const;
    const sonavel::slice::SpectralSlice& Slice() const { return m_slice; }

private:
    class CPlot;
    CPlot* m_pPlot;
    QLabel* m_pPeaks;
    sonavel::slice::SpectralSlice m_slice;
};
