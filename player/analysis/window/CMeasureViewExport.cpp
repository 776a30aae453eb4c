// The measuring view's exports: the picture as PNG or SVG at the size on
// screen or one chosen, the selection's frames of every layer as CSV, and the
// Save dialogs that open in the sound's folder and offer the sound's name.
#include "player/analysis/window/CMeasureView.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPainter>
#include <QStandardPaths>
#include <QSvgGenerator>

#include <new>

#include "common/OutputFile.h"
#include "player/analysis/measureview/ExportFolder.h"
#include "player/analysis/measureview/LayerTable.h"
#include "player/analysis/measureview/MeasureTexts.h"
#include "player/analysis/window/CMeasurePlot.h"
#include "player/analysis/window/CPictureSizeDlg.h"
#include "player/analysis/window/Messages.h"

using namespace sonavel;

namespace {
// The threads a picture at another size is computed on, as the worker's.
const int kPictureThreads = 2;

// An export made in memory, written as every user's file is: whole or not at
// all, a device or a FIFO as it is.
bool WriteBytes(const QString& strPath, const QByteArray& bytes)
{
    int nErrno = 0;
    return files::WriteWholeFile(QFile::encodeName(strPath).toStdString(),
                                 std::string_view(bytes.constData(), std::size_t(bytes.size())), nErrno);
}
} // namespace

void CMeasureView::SetSoundFile(const QString& strPath)
{
    m_strSoundFile = strPath.isEmpty() ? QString() : QFileInfo(strPath).absoluteFilePath();
    // New tiers of this sound that were never saved are offered back once it
    // is clear that no TextGrid opens with it (the player opens one next).
    QTimer::singleShot(0, this, [this] {
        if (m_strGridPath.isEmpty() && m_tiers.TierCount() == 0 && !m_tiers.IsModified())
            OfferRecovery();
    });
}

QString CMeasureView::ExportFolder() const
{
    // The browser's copy lies under the user's cache folder; the system's
    // temporary folder holds nobody's work either.
    const std::vector<std::string> temporary{
        QFile::encodeName(QDir::tempPath()).toStdString(),
        QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)).toStdString()};
    return QFile::decodeName(QByteArray::fromStdString(measure::ExportFolder(
        QFile::encodeName(m_strSoundFile).toStdString(), temporary, QFile::encodeName(QDir::homePath()).toStdString())));
}

bool CMeasureView::WritePicture(const QString& strPath, const QSize& sizeAsked) const
{
    CMeasureScene scene = m_pPlot->Scene();
    const bool bAsShown = !sizeAsked.isValid() || sizeAsked == m_pPlot->size();
    const QSize size = bAsShown ? m_pPlot->size() : sizeAsked;
    if (!bAsShown && !CPictureSizeDlg::Takes(size))
        return false;
    // Another size has other pixel columns: its spectrogram is computed here,
    // for the stretch shown, as render --view computes its own.
    std::shared_ptr<CMeasurePicture> pPicture;
    if (!bAsShown) {
        scene.pPicture = nullptr;
        if (m_pSound && scene.strNoPicture.isEmpty()) {
            const CMeasureLayout layout = CMeasureLayout::For(size, CMeasurePainter::ViewFont());
            const PictureRequest request{m_model.Start(), m_model.End(), layout.PlotWidth(),
                                         measure::FitToRate(m_settings, m_model.Rate()).spectrogram};
            CColumnCache cache;
            pPicture = ComputePicture(*m_pSound, request, cache, kPictureThreads);
            if (pPicture && pPicture->strFailure.empty())
                scene.pPicture = pPicture.get();
            else if (pPicture)
                scene.strNoPicture = QString::fromStdString("No spectrogram: " + pPicture->strFailure);
        }
    }
    bool bDone = false;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return false;
    if (strPath.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
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
        // A chosen size is the PNG's size in pixels; the picture as shown keeps the screen's density.
        const double dRatio = bAsShown ? m_pPlot->devicePixelRatioF() : 1.0;
        bDone = CMeasurePainter::Render(size, scene, dRatio).save(&buffer, "PNG");
    }
    return bDone && WriteBytes(strPath, bytes);
}

bool CMeasureView::WriteLayerTable(const QString& strPath) const
{
    const measure::LayerTracks tracks{m_model.Pitch(), m_model.Formants(), m_model.Intensity()};
    if (!tracks.pPitch && !tracks.pFormants && !tracks.pIntensity)
        return false;
    const double a = m_model.HasSelection() ? m_model.SelectionStart() : m_model.Start();
    const double b = m_model.HasSelection() ? m_model.SelectionEnd() : m_model.End();
    QByteArray text;
    try {
        // The grid the formant and intensity tracks are made on.
        text = QByteArray::fromStdString(measure::LayerCsv(measure::LayerRows(tracks, m_settings.formants.dStepS, a, b)));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return WriteBytes(strPath, text);
}

void CMeasureView::ExportPicture(const QString& strPath, const QSize& size)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool bDone = WritePicture(strPath, size);
    QApplication::restoreOverrideCursor();
    if (!bDone)
        SonavelMessageBox("Cannot write " + strPath.toStdString());
}

void CMeasureView::ExportLayerTable(const QString& strPath)
{
    // No track yet: nothing to write, and nothing to say.
    if ((m_model.Pitch() || m_model.Formants() || m_model.Intensity()) && !WriteLayerTable(strPath))
        SonavelMessageBox("Cannot write " + strPath.toStdString());
}

QString CMeasureView::SuggestedFileName(const QString& strExtension) const
{
    return QFileInfo(m_strName).completeBaseName() + strExtension;
}

void CMeasureView::OnSavePicture()
{
    CPictureSizeDlg sizeDlg(m_pPlot->size(), this);
    if (sizeDlg.exec() != QDialog::Accepted)
        return;
    // Qt's own dialog: one of another toolkit would be another application.
    const QString strPath = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save Picture"), QDir(ExportFolder()).filePath(SuggestedFileName(QStringLiteral(".png"))),
        QStringLiteral("PNG image (*.png);;SVG drawing (*.svg)"), nullptr, QFileDialog::DontUseNativeDialog);
    if (!strPath.isEmpty())
        ExportPicture(strPath, sizeDlg.Size());
}

void CMeasureView::OnSavePitch()
{
    const QString strPath = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save Selection as CSV"),
        QDir(ExportFolder()).filePath(SuggestedFileName(QStringLiteral(".csv"))), QStringLiteral("CSV (*.csv)"),
        nullptr, QFileDialog::DontUseNativeDialog);
    if (!strPath.isEmpty())
        ExportLayerTable(strPath);
}
