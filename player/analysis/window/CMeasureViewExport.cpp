// The measuring view's exports: the picture with its tiers as PNG, JPEG, SVG
// or PDF at the size on screen or one chosen (in pixels or on paper), the
// selection's frames of every layer as CSV, and the Save dialogs that open in
// the sound's folder and offer the sound's name.
#include "player/analysis/window/CMeasureView.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPainter>
#include <QStandardPaths>

#include <cmath>
#include <new>

#include "common/OutputFile.h"
#include "player/analysis/measureview/ExportFolder.h"
#include "player/analysis/measureview/LayerTable.h"
#include "player/analysis/measureview/MeasureTexts.h"
#include "player/analysis/window/CMeasurePlot.h"
#include "player/analysis/paint/CMeasureFigure.h"
#include "player/analysis/paint/CTierPainter.h"
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
    // The browser's copy lies under the user's cache folder. A sound the user
    // keeps under the system's temporary folder is still his: the dialogs
    // open beside it.
    const std::vector<std::string> temporary{
        QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)).toStdString()};
    return QFile::decodeName(QByteArray::fromStdString(measure::ExportFolder(
        QFile::encodeName(m_strSoundFile).toStdString(), temporary, QFile::encodeName(QDir::homePath()).toStdString())));
}

bool CMeasureView::WritePicture(const QString& strPath, const FigureChoice& choice, QString* pstrWhy) const
{
    const auto Fail = [pstrWhy](const QString& strWhy) {
        if (pstrWhy)
            *pstrWhy = strWhy;
        return false;
    };
    CFigure figure;
    if (!CMeasureFigure::FormatFor(QFile::encodeName(strPath).toStdString(), figure.eFormat))
        return Fail(QStringLiteral("a picture is saved as .png, .jpg, .svg or .pdf"));
    figure.pTiers = m_tiers.TierCount() > 0 ? &m_tiers.Grid() : nullptr;
    const int nTiers = static_cast<int>(m_tiers.TierCount());
    figure.scene = m_pPlot->Scene();
    figure.scene.pShaded = nullptr;
    // A figure shows the sound, not where the user is in it, unless asked.
    CMeasureModel model = m_model;
    if (!choice.bSelection) {
        model.ClearSelection();
        model.ClearCursor();
        figure.scene.dPlayTime = -1;
    }
    figure.scene.pModel = &model;
    figure.strTitle = windowTitle();
    figure.strDescription = m_pPlot->accessibleDescription();
    const QSize plotShown = m_pPlot->size();
    const QSize shown = plotShown + QSize(0, nTiers * CTierPainter::StripHeight(CMeasurePainter::ViewFont()));
    const bool bRaster = figure.eFormat == EFigureFormat::Png || figure.eFormat == EFigureFormat::Jpeg;
    if (choice.bAsShown) {
        // The screen's density for an image; a drawing's spectrogram keeps it too.
        const double dRatio = m_pPlot->devicePixelRatioF();
        figure.size.eUnit = measure::ESizeUnit::Pixels;
        figure.size.dWidth = bRaster ? std::round(shown.width() * dRatio) : shown.width();
        figure.size.dHeight = bRaster ? std::round(shown.height() * dRatio) : shown.height();
        figure.size.dDpi = measure::FigureSize::kLayoutDpi * (bRaster ? dRatio : 1.0);
    } else {
        figure.size = choice.size;
    }
    if (const std::string strWhy = CMeasureFigure::Check(figure.size, nTiers); !strWhy.empty())
        return Fail(QString::fromStdString(strWhy));
    // Another size or density has other pixel columns: its spectrogram is
    // computed here, for the stretch shown, as render --view computes its own.
    std::shared_ptr<CMeasurePicture> pPicture;
    const QSize plot = CMeasureFigure::PlotSize(CMeasureFigure::LayoutSize(figure.size), nTiers);
    const CMeasureLayout layout = CMeasureLayout::For(plot, CMeasurePainter::ViewFont(), figure.scene.settings.layers);
    const int nPixels = static_cast<int>(std::lround(layout.PlotWidth() * figure.size.DeviceRatio()));
    const CMeasurePicture* pShown = figure.scene.pPicture;
    const bool bSamePicture = pShown && pShown->request.nPixels == nPixels && pShown->request.dStart == m_model.Start()
                              && pShown->request.dEnd == m_model.End();
    if (!bSamePicture && figure.scene.strNoPicture.isEmpty()) {
        figure.scene.pPicture = nullptr;
        if (m_pSound) {
            const PictureRequest request{m_model.Start(), m_model.End(), nPixels,
                                         measure::FitToRate(m_settings, m_model.Rate()).spectrogram};
            CColumnCache cache;
            pPicture = ComputePicture(*m_pSound, request, cache, kPictureThreads);
            if (pPicture && pPicture->strFailure.empty())
                figure.scene.pPicture = pPicture.get();
            else if (pPicture)
                figure.scene.strNoPicture = QString::fromStdString("No spectrogram: " + pPicture->strFailure);
        }
    }
    QByteArray bytes;
    try {
        if (!CMeasureFigure::Encode(figure, bytes))
            return Fail(QStringLiteral("the picture could not be made"));
    } catch (const std::bad_alloc&) {
        return Fail(QStringLiteral("not enough memory for the picture"));
    }
    if (!WriteBytes(strPath, bytes))
        return Fail(QStringLiteral("the file could not be written"));
    return true;
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

void CMeasureView::ExportPicture(const QString& strPath, const FigureChoice& choice)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString strWhy;
    const bool bDone = WritePicture(strPath, choice, &strWhy);
    QApplication::restoreOverrideCursor();
    if (!bDone)
        SonavelMessageBox("Cannot write " + strPath.toStdString() + ": " + strWhy.toStdString());
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
    const int nTiers = static_cast<int>(m_tiers.TierCount());
    const QSize shown = m_pPlot->size() + QSize(0, nTiers * CTierPainter::StripHeight(CMeasurePainter::ViewFont()));
    CSavePictureDlg dlg(shown, nTiers, m_lastFigure, this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    m_lastFigure = dlg.Choice();
    const char* szExtension = CMeasureFigure::Extension(m_lastFigure.eFormat);
    const char* szFilters[] = {"PNG image (*.png)", "JPEG image (*.jpg *.jpeg)", "SVG drawing (*.svg)", "PDF document (*.pdf)"};
    const QString strFilter = QString::fromUtf8(szFilters[static_cast<int>(m_lastFigure.eFormat)]);
    // Qt's own dialog: one of another toolkit would be another application.
    QString strPath = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save Picture"),
        QDir(ExportFolder()).filePath(SuggestedFileName(QString::fromUtf8(szExtension))), strFilter, nullptr,
        QFileDialog::DontUseNativeDialog);
    if (strPath.isEmpty())
        return;
    // A name without an extension takes the format's; one with its own
    // extension is written as that says.
    if (QFileInfo(strPath).suffix().isEmpty())
        strPath += QString::fromUtf8(szExtension);
    ExportPicture(strPath, m_lastFigure);
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
