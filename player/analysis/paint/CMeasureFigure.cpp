#include "player/analysis/paint/CMeasureFigure.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSvgGenerator>

#include <algorithm>
#include <cctype>
#include <cmath>

#include "player/analysis/paint/CTierPainter.h"

using sonavel::measure::FigureSize;

namespace {

// The plot keeps at least this much of a figure's height (layout pixels)
// above its tiers: the header, a panel and the time axis.
constexpr int kLeastPlotHeight = 150;

constexpr double kInchesPerMetre = 100 / 2.54;

int TierCount(const sonavel::textgrid::TextGrid* pTiers)
{
    return pTiers ? static_cast<int>(pTiers->tiers.size()) : 0;
}

// The scene as a figure paints it: the spectrogram shaded at the figure's
// resolution (a drawing's device cannot say it), once for every format.
CMeasureScene FigureScene(const CFigure& figure, QImage& shaded)
{
    CMeasureScene scene = figure.scene;
    scene.dDeviceRatio = figure.size.DeviceRatio();
    if (scene.pPicture && !scene.pShaded) {
        const QSize plot = CMeasureFigure::PlotSize(CMeasureFigure::LayoutSize(figure.size), TierCount(figure.pTiers));
        const CMeasureLayout layout = CMeasureLayout::For(plot, CMeasurePainter::ViewFont(), scene.settings.layers);
        shaded = CMeasurePainter::ShadePicture(*scene.pPicture,
                                               static_cast<int>(std::lround(layout.rcSpectrogram.height() * scene.dDeviceRatio)),
                                               scene.settings.spectrogram.dDynamicRangeDb);
        scene.pShaded = &shaded;
    }
    return scene;
}

QString Unescaped(QString s)
{
    return s.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
        .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
        .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
}

// Qt lays a string out in runs of one script each and writes a text element
// per run, so "θɪŋk" (Greek, then Latin) would reach a drawing program as
// "θ" and "ɪŋk". A run that starts on the same line where the one before it
// ends, in the same font, is joined to it as a tspan at its own place: one
// text element per string drawn, each glyph where Qt put it.
QByteArray JoinTextRuns(const QByteArray& svg)
{
    static const QRegularExpression kText(QStringLiteral(
        "<text ([^>]*?) x=\"([-0-9.e]+)\" y=\"([-0-9.e]+)\" ([^>]*)>([^<]*)</text>"));
    static const QRegularExpression kFamily(QStringLiteral("font-family=\"([^\"]*)\""));
    static const QRegularExpression kSize(QStringLiteral("font-size=\"([0-9.]+)\""));
    static const QRegularExpression kWeight(QStringLiteral("font-weight=\"([0-9]+)\""));
    const QString text = QString::fromUtf8(svg);
    QString out;
    out.reserve(text.size());
    qsizetype nCopied = 0;
    QRegularExpressionMatchIterator it = kText.globalMatch(text);
    QRegularExpressionMatch open;   // the element being joined to
    QString strJoined;              // its text and the tspans joined so far
    double xEnd = 0;                // where its last run ends on the line
    qsizetype nRunEnd = 0;          // and in the text
    const auto Close = [&] {
        if (!open.hasMatch())
            return;
        out += QStringLiteral("<text %1 x=\"%2\" y=\"%3\" %4>%5</text>")
                   .arg(open.captured(1), open.captured(2), open.captured(3), open.captured(4), strJoined);
        nCopied = nRunEnd;
        open = QRegularExpressionMatch();
    };
    const auto Advance = [](const QRegularExpressionMatch& m) {
        QFont font(kFamily.match(m.captured(4)).captured(1));
        font.setPixelSize(std::max(1, qRound(kSize.match(m.captured(4)).captured(1).toDouble())));
        font.setWeight(QFont::Weight(kWeight.match(m.captured(4)).captured(1).toInt()));
        return QFontMetricsF(font).horizontalAdvance(Unescaped(m.captured(5)));
    };
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const bool bJoins = open.hasMatch() && text.mid(nRunEnd, m.capturedStart() - nRunEnd).trimmed().isEmpty()
                            && m.captured(1) == open.captured(1) && m.captured(3) == open.captured(3)
                            && m.captured(4) == open.captured(4) && std::abs(m.captured(2).toDouble() - xEnd) < 0.5;
        if (bJoins) {
            strJoined += QStringLiteral("<tspan x=\"%1\">%2</tspan>").arg(m.captured(2), m.captured(5));
            xEnd = m.captured(2).toDouble() + Advance(m);
            nRunEnd = m.capturedEnd();
            continue;
        }
        Close();
        out += text.mid(nCopied, m.capturedStart() - nCopied);
        open = m;
        strJoined = m.captured(5);
        xEnd = m.captured(2).toDouble() + Advance(m);
        nCopied = m.capturedStart();
        nRunEnd = m.capturedEnd();
    }
    Close();
    out += text.mid(nCopied);
    return out.toUtf8();
}

bool EncodeSvg(const CFigure& figure, const CMeasureScene& scene, QBuffer& buffer)
{
    const QSize size = CMeasureFigure::LayoutSize(figure.size);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    // The layout's resolution: the font takes on paper the size it takes on
    // screen, and the SVG's width and height say the size on paper.
    svg.setResolution(static_cast<int>(FigureSize::kLayoutDpi));
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setTitle(figure.strTitle);
    svg.setDescription(figure.strDescription);
    QPainter dc;
    if (!dc.begin(&svg))
        return false;
    CMeasureFigure::Paint(dc, size, scene, figure.pTiers);
    if (!dc.end())
        return false;
    buffer.buffer() = JoinTextRuns(buffer.buffer());
    return true;
}

bool EncodePdf(const CFigure& figure, const CMeasureScene& scene, QBuffer& buffer)
{
    QPdfWriter pdf(&buffer);
    pdf.setCreator(QStringLiteral("Sonavel"));
    pdf.setTitle(figure.strTitle);
    pdf.setPageSize(QPageSize(QSizeF(figure.size.WidthMm(), figure.size.HeightMm()), QPageSize::Millimeter, QString(),
                              QPageSize::ExactMatch));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    // A unit of the page is a layout pixel, so the picture is laid out as on screen.
    pdf.setResolution(static_cast<int>(FigureSize::kLayoutDpi));
    QPainter dc;
    if (!dc.begin(&pdf))
        return false;
    CMeasureFigure::Paint(dc, CMeasureFigure::LayoutSize(figure.size), scene, figure.pTiers);
    return dc.end();
}

} // namespace

bool CMeasureFigure::FormatFor(const std::string& strName, EFigureFormat& eFormat)
{
    const std::string::size_type nDot = strName.find_last_of('.'), nSlash = strName.find_last_of('/');
    if (nDot == std::string::npos || (nSlash != std::string::npos && nDot < nSlash)) {
        eFormat = EFigureFormat::Png;
        return true;
    }
    std::string ext = strName.substr(nDot + 1);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "png")
        eFormat = EFigureFormat::Png;
    else if (ext == "jpg" || ext == "jpeg")
        eFormat = EFigureFormat::Jpeg;
    else if (ext == "svg")
        eFormat = EFigureFormat::Svg;
    else if (ext == "pdf")
        eFormat = EFigureFormat::Pdf;
    else
        return false;
    return true;
}

const char* CMeasureFigure::Extension(EFigureFormat eFormat)
{
    switch (eFormat) {
    case EFigureFormat::Jpeg:
        return ".jpg";
    case EFigureFormat::Svg:
        return ".svg";
    case EFigureFormat::Pdf:
        return ".pdf";
    case EFigureFormat::Png:
        break;
    }
    return ".png";
}

QSize CMeasureFigure::LayoutSize(const FigureSize& size)
{
    return QSize(static_cast<int>(std::lround(size.LayoutWidth())), static_cast<int>(std::lround(size.LayoutHeight())));
}

QSize CMeasureFigure::PlotSize(const QSize& layoutSize, int nTiers)
{
    const int nTiersHeight = nTiers * CTierPainter::StripHeight(CMeasurePainter::ViewFont());
    return QSize(layoutSize.width(), std::max(0, layoutSize.height() - nTiersHeight));
}

std::string CMeasureFigure::Check(const FigureSize& size, int nTiers)
{
    std::string strWhy = sonavel::measure::CheckFigureSize(size);
    if (strWhy.empty() && PlotSize(LayoutSize(size), nTiers).height() < kLeastPlotHeight) {
        const double dLeastCm = (LayoutSize(size).height() - PlotSize(LayoutSize(size), nTiers).height() + kLeastPlotHeight)
                                / FigureSize::kLayoutDpi * 2.54;
        char sz[120];
        std::snprintf(sz, sizeof sz, "a figure with %d tiers must be at least %.1f cm high", nTiers, dLeastCm);
        strWhy = sz;
    }
    return strWhy;
}

void CMeasureFigure::Paint(QPainter& dc, const QSize& size, const CMeasureScene& scene,
                           const sonavel::textgrid::TextGrid* pTiers)
{
    const QSize plot = PlotSize(size, TierCount(pTiers));
    CMeasurePainter::Paint(dc, plot, scene);
    if (!pTiers || !scene.pModel)
        return;
    dc.save();
    dc.setFont(CMeasurePainter::ViewFont());
    const CMeasureLayout layout = CMeasureLayout::For(plot, dc.font(), scene.settings.layers);
    const int nStrip = CTierPainter::StripHeight(dc.font());
    // Only the selected item is left unmarked: a figure shows the labels, not an edit.
    TierLook look;
    look.dCursor = scene.pModel->HasCursor() ? scene.pModel->Cursor() : -1;
    int y = plot.height();
    for (const sonavel::textgrid::Tier& tier : pTiers->tiers) {
        CTierPainter::Paint(dc, QRect(0, y, size.width(), nStrip), layout.PlotLeft(), layout.PlotWidth(), *scene.pModel,
                            tier, look);
        y += nStrip;
    }
    // The last strip's foot closes the figure as its top edge opens it.
    dc.setPen(look.edge);
    dc.drawLine(0, y - 1, size.width(), y - 1);
    dc.restore();
}

QImage CMeasureFigure::Render(const CFigure& figure)
{
    if (!Check(figure.size, TierCount(figure.pTiers)).empty())
        return QImage();
    QImage shaded;
    const CMeasureScene scene = FigureScene(figure, shaded);
    QImage image(figure.size.PixelWidth(), figure.size.PixelHeight(), QImage::Format_RGB32);
    if (image.isNull())
        return image;
    // Laid out at 96 dpi whatever the figure's resolution: the fonts' points
    // are the same on paper at any dpi.
    image.setDotsPerMeterX(static_cast<int>(std::lround(FigureSize::kLayoutDpi * kInchesPerMetre)));
    image.setDotsPerMeterY(image.dotsPerMeterX());
    image.setDevicePixelRatio(figure.size.DeviceRatio());
    image.fill(Qt::white);
    {
        QPainter dc(&image);
        Paint(dc, LayoutSize(figure.size), scene, figure.pTiers);
    }
    // The file says its resolution, so a page takes it at its size on paper.
    image.setDevicePixelRatio(1);
    image.setDotsPerMeterX(static_cast<int>(std::lround(figure.size.Dpi() * kInchesPerMetre)));
    image.setDotsPerMeterY(image.dotsPerMeterX());
    return image;
}

bool CMeasureFigure::Encode(const CFigure& figure, QByteArray& bytes)
{
    bytes.clear();
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !Check(figure.size, TierCount(figure.pTiers)).empty())
        return false;
    switch (figure.eFormat) {
    case EFigureFormat::Svg:
    case EFigureFormat::Pdf: {
        QImage shaded;
        const CMeasureScene scene = FigureScene(figure, shaded);
        return figure.eFormat == EFigureFormat::Svg ? EncodeSvg(figure, scene, buffer) : EncodePdf(figure, scene, buffer);
    }
    case EFigureFormat::Png:
    case EFigureFormat::Jpeg:
        break;
    }
    const QImage image = Render(figure);
    // A PNG's quality is its compression: at 50 a 1280 x 720 view is written
    // in 25 ms instead of the default's 39, for a file 9 % larger.
    const bool bJpeg = figure.eFormat == EFigureFormat::Jpeg;
    return !image.isNull() && image.save(&buffer, bJpeg ? "JPEG" : "PNG", bJpeg ? 90 : 50);
}
