// The measuring view's exports: the picture as PNG or SVG, the pitch of the
// selection as CSV, and the Save dialogs that offer the sound's name.
#include "player/analysis/window/CMeasureView.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>

#include "player/analysis/measure/MeasureTexts.h"
#include "player/analysis/window/CMeasurePlot.h"
#include "player/analysis/window/Messages.h"

using namespace sonavel;

bool CMeasureView::WritePicture(const QString& strPath) const
{
    const CMeasureScene scene = m_pPlot->Scene();
    const QSize size = m_pPlot->size();
    bool bDone = false;
    if (strPath.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setFileName(strPath);
        svg.setSize(size);
        // The screen's resolution, so the font takes the pixels it takes on
        // screen and the panels lie where they are shown (the generator's own
        // 72 dpi would give other panels).
        svg.setResolution(m_pPlot->logicalDpiY());
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(windowTitle());
        svg.setDescription(m_pPlot->accessibleDescription());
        QPainter dc;
        if (dc.begin(&svg)) {
            CMeasurePainter::Paint(dc, size, scene);
            bDone = dc.end();
        }
    } else {
        bDone = CMeasurePainter::Render(size, scene, m_pPlot->devicePixelRatioF()).save(strPath, "PNG");
    }
    return bDone;
}

bool CMeasureView::WritePitch(const QString& strPath) const
{
    const pitch::PitchFrames* pFrames = m_model.Pitch();
    if (!pFrames)
        return false;
    const double a = m_model.HasSelection() ? m_model.SelectionStart() : m_model.Start();
    const double b = m_model.HasSelection() ? m_model.SelectionEnd() : m_model.End();
    const auto [nFirst, nLast] = m_model.FramesIn(a, b);
    const QByteArray text = QByteArray::fromStdString(measure::PitchCsv(*pFrames, nFirst, nLast));
    // Written whole under a temporary name, then renamed: never half a file.
    QSaveFile file(strPath);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit();
}

void CMeasureView::ExportPicture(const QString& strPath)
{
    if (!WritePicture(strPath))
        SonavelMessageBox("Cannot write " + strPath.toStdString());
}

void CMeasureView::ExportPitch(const QString& strPath)
{
    // No pitch yet: nothing to write, and nothing to say.
    if (m_model.Pitch() && !WritePitch(strPath))
        SonavelMessageBox("Cannot write " + strPath.toStdString());
}

QString CMeasureView::SuggestedFileName(const QString& strExtension) const
{
    return QFileInfo(m_strName).completeBaseName() + strExtension;
}

void CMeasureView::OnSavePicture()
{
    // Qt's own dialog: one of another toolkit would be another application.
    const QString strPath = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save Picture"), SuggestedFileName(QStringLiteral(".png")),
        QStringLiteral("PNG image (*.png);;SVG drawing (*.svg)"), nullptr, QFileDialog::DontUseNativeDialog);
    if (!strPath.isEmpty())
        ExportPicture(strPath);
}

void CMeasureView::OnSavePitch()
{
    const QString strPath = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save Pitch"), SuggestedFileName(QStringLiteral(".csv")),
        QStringLiteral("CSV (*.csv)"), nullptr, QFileDialog::DontUseNativeDialog);
    if (!strPath.isEmpty())
        ExportPitch(strPath);
}
