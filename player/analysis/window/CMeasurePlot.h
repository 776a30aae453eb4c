#pragma once
// The measuring view's picture as a widget: paints the scene with
// CMeasurePainter, turns the mouse into the model's calls (drag to select,
// wheel to zoom or scroll) and reports the pointer for the readouts. Knows
// nothing of threads or playback: the view hands it pictures and the cursor.
#include <QImage>
#include <QWidget>

#include <memory>

#include "player/analysis/paint/CMeasurePainter.h"

class CMeasurePlot : public QWidget {
    Q_OBJECT
public:
    CMeasurePlot(CMeasureModel& model, QWidget* pParent = nullptr);

    void SetPicture(std::shared_ptr<const CMeasurePicture> pPicture);
    const std::shared_ptr<const CMeasurePicture>& Picture() const { return m_pPicture; }
    void SetSettings(const sonavel::measure::MeasureSettings& settings);
    void SetName(const QString& strName);
    // What the header says of the sound after its name (empty: nothing).
    void SetHeaderNote(const QString& strNote);
    void SetPlayTime(double dSeconds); // negative: no cursor
    // Why no picture can come (empty: one is on its way).
    void SetNoPicture(const QString& strWhy);

    // Where time runs across the widget, for the view's requests and tests.
    CMeasureLayout Layout() const;
    // The scene as painted now (for exports).
    CMeasureScene Scene() const;
    // The readout at a point of the widget, if it lies over a panel.
    bool ReadoutAt(const QPointF& at, CMeasureModel::Readout& readout) const;

signals:
    void SpanChanged();      // the user zoomed or scrolled
    void SelectionChanged();
    void PointerMoved(QPointF at);
    void PointerLeft();
    void Resized();

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void wheelEvent(QWheelEvent* pEvent) override;
    void leaveEvent(QEvent* pEvent) override;

private:
    double TimeAtX(double x) const;
    const QImage* Shaded();

    CMeasureModel& m_model;
    std::shared_ptr<const CMeasurePicture> m_pPicture;
    sonavel::measure::MeasureSettings m_settings;
    QString m_strName;
    QString m_strHeaderNote;
    double m_dPlayTime = -1;
    QString m_strNoPicture;
    // The shaded picture, kept while the picture, panel height and range stay
    // (SetPicture forgets which picture it shades).
    QImage m_shaded;
    const CMeasurePicture* m_pShadedFor = nullptr;
    int m_nShadedHeight = 0;
    double m_dShadedRange = 0;
    // A drag in progress: where it began.
    bool m_bDragging = false;
    double m_dDragFrom = 0;
};
