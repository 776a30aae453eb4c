// The measuring view as a user drives it (offscreen): pictures that follow the
// span and the window's width, keys, wheel and scroll bar, a drag that selects
// and Space that plays it, a click that sets the cursor, layers hidden and
// kept so, the tracker's result or failure, the settings kept in the profile,
// the exports of the picture and the pitch, figures with their tiers, and the
// status line at a common width.
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QXmlStreamReader>
#include <QDir>
#include <QDoubleSpinBox>
#include <QStandardPaths>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextLayout>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <memory>

#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/measureview/MeasureTexts.h"
#include "player/analysis/measureview/VoiceText.h"
#include "player/analysis/paint/CMeasurePainter.h"
#include "player/analysis/paint/CTierPainter.h"
#include "player/analysis/window/CMeasureView.h"
#include "player/analysis/window/CStatusText.h"
#include "tests/player/analysis/window/MeasureTestSupport.h"
#include "player/analysis/window/CMeasureSettingsDlg.h"
#include "tests/support/CMessageRecorder.h"
#include "tests/support/SaveShot.h"
#include "tests/support/WaitFor.h"
#include "tests/support/WhenModal.h"

using namespace measuretest;
using testsupport::WaitFor;

namespace {
const int kRate = 22050;
const char kszOrganisation[] = "Measure View Test";
const char kszApplication[] = "Sonavel";

sonavel::measure::MeasureSettings Amdf(double dFloor = 0, double dCeiling = 0)
{
    sonavel::measure::MeasureSettings s;
    s.pitch.tracker = sonavel::pitch::ETracker::Amdf;
    s.pitch.dFloorHz = dFloor;
    s.pitch.dCeilingHz = dCeiling;
    return s;
}
} // namespace

class TestMeasureView : public QObject {
    Q_OBJECT

    std::unique_ptr<CMeasureView> m_pView;
    CRecordingSpanPlayer m_player;
    SampleStore m_store = Store(Voice(kRate), kRate);

    // The picture on screen answers the view's newest request.
    bool WaitForCurrentPicture()
    {
        return WaitFor([&] {
            const auto& p = m_pView->Plot()->Picture();
            return p && p->request.nSerial == m_pView->LastRequest().nSerial;
        });
    }
    void Key(int nKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(m_pView->Plot(), static_cast<Qt::Key>(nKey), modifiers);
    }

private slots:
    void init()
    {
        QSettings(kszOrganisation, kszApplication).clear();
        m_pView = std::make_unique<CMeasureView>();
        m_pView->setAttribute(Qt::WA_DeleteOnClose, false);
        m_pView->SetProfile(kszOrganisation, kszApplication);
        m_pView->ApplySettings(Amdf());
        m_pView->SetPlayer(&m_player);
        m_pView->SetSound(CMeasureSound::FromStore(m_store), QStringLiteral("voice.wav"));
        m_pView->show();
        m_pView->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_pView.get()));
        QVERIFY(WaitForCurrentPicture());
    }
    void cleanup() { m_pView.reset(); }

    void picturesFollowTheSpanKeysWheelAndWidth()
    {
        CMeasureModel& model = m_pView->Model();
        CMeasurePlot* pPlot = m_pView->Plot();
        QCOMPARE(m_pView->windowTitle(), QString::fromUtf8("voice.wav \xE2\x80\x94 Measure"));
        QCOMPARE(m_pView->LastRequest().nPixels, qRound(pPlot->Layout().PlotWidth() * pPlot->devicePixelRatioF()));
        const double d = model.Duration();
        QCOMPARE(model.End(), d);

        Key(Qt::Key_Plus);
        QCOMPARE(model.Start(), d / 4);
        QCOMPARE(model.End(), d * 3 / 4);
        Key(Qt::Key_Right);
        QCOMPARE(model.Start(), d / 4 + d / 2 / 8);
        Key(Qt::Key_Home);
        QCOMPARE(model.Start(), 0.0);
        Key(Qt::Key_End);
        QCOMPARE(model.End(), d);
        QVERIFY(WaitForCurrentPicture());
        Key(Qt::Key_Minus);
        QCOMPARE(model.Span(), d);

        // The wheel zooms about the pointer, with or without Ctrl; sideways scrolls.
        const QPointF at = PointAt(*pPlot, model, 1.25);
        Wheel(pPlot, at, 120, Qt::ControlModifier);
        Wheel(pPlot, at, 120);
        QVERIFY(model.Span() < 2.2);
        QCOMPARE(PointAt(*pPlot, model, 1.25).x(), at.x());
        const double dStart = model.Start();
        Wheel(pPlot, at, -120, Qt::NoModifier, true);
        QVERIFY(model.Start() > dStart);
        QVERIFY(WaitForCurrentPicture());

        // The scroll bar moves what is shown.
        QScrollBar* pBar = m_pView->findChild<QScrollBar*>(QStringLiteral("timeScrollBar"));
        pBar->setValue(pBar->maximum());
        QVERIFY(std::abs(model.End() - d) < model.Span() / 1000);

        // A wider window asks for a wider picture.
        const int nPixels = m_pView->LastRequest().nPixels;
        m_pView->resize(m_pView->width() + 200, m_pView->height() + 100);
        QVERIFY(WaitFor([&] { return m_pView->LastRequest().nPixels > nPixels; }));
        QVERIFY(WaitForCurrentPicture());
    }

    // A name is shown, never obeyed: its bidirectional controls are dropped
    // from the header and the title, and a right-to-left name is isolated, so
    // the duration and rate after it still read left to right.
    void aNameIsShownWithoutTurningTheHeaderRound()
    {
        CMeasureScene scene = m_pView->Plot()->Scene();
        const QSize size = m_pView->Plot()->size();
        const QImage plain = CMeasurePainter::Render(size, scene);
        scene.strName = QString::fromUtf8("voi\u202Ece\u2066.wav\u202C");
        QVERIFY(CMeasurePainter::Render(size, scene) == plain);
        m_pView->SetSound(CMeasureSound::FromStore(m_store), scene.strName);
        QCOMPARE(m_pView->windowTitle(), QString::fromUtf8("voice.wav \xE2\x80\x94 Measure"));

        const QString strLine = QString::fromStdString(sonavel::measure::HeaderLine("\u05E7\u05D5\u05DC", 2.5, kRate));
        QTextLayout layout(strLine, CMeasurePainter::ViewFont());
        QTextOption option;
        option.setTextDirection(Qt::LeftToRight); // the view's, as the painter lays it out
        layout.setTextOption(option);
        layout.beginLayout();
        const QTextLine line = layout.createLine();
        layout.endLayout();
        const int nDash = static_cast<int>(strLine.indexOf(QChar(0x2014)));
        const int nSeconds = static_cast<int>(strLine.indexOf(QLatin1String("2.500")));
        const int nHz = static_cast<int>(strLine.indexOf(QLatin1String("Hz")));
        QVERIFY(nDash > 0 && nSeconds > nDash && nHz > nSeconds);
        QVERIFY(line.cursorToX(nDash) < line.cursorToX(nSeconds));
        QVERIFY(line.cursorToX(nSeconds) < line.cursorToX(nHz));
        QVERIFY(line.cursorToX(nDash) >= line.cursorToX(1) - 1);
    }

    void aDragSelectsAndSpacePlaysIt()
    {
        CMeasureModel& model = m_pView->Model();
        CMeasurePlot* pPlot = m_pView->Plot();
        QVERIFY(WaitFor([&] { return model.Pitch() != nullptr; }));
        Drag(pPlot, PointAt(*pPlot, model, 0.5), PointAt(*pPlot, model, 1.0));
        const double dPixel = model.Span() / pPlot->Layout().PlotWidth();
        QVERIFY(std::abs(model.SelectionStart() - 0.5) <= dPixel);
        QVERIFY(std::abs(model.SelectionEnd() - 1.0) <= dPixel);
        const QString strStatus = m_pView->findChildren<QLabel*>().last()->text();
        QVERIFY2(strStatus.startsWith(QStringLiteral("Selection 0.5")) && strStatus.contains("mean pitch"),
                 qPrintable(strStatus));

        Key(Qt::Key_Space);
        QCOMPARE(m_player.m_played.size(), size_t(1));
        QCOMPARE(m_player.m_played[0], model.PlaySpan());
        QVERIFY(std::abs(m_player.m_played[0].first - 0.5 * kRate) <= dPixel * kRate + 1);
        QVERIFY(m_pView->IsPlaying());
        // The cursor follows what the player says it plays, and stops with it.
        m_player.m_nPlaying = kRate / 2;
        QVERIFY(WaitFor([&] { return pPlot->Scene().dPlayTime == 0.5; }));
        Key(Qt::Key_Space);
        QVERIFY(!m_pView->IsPlaying());
        QCOMPARE(pPlot->Scene().dPlayTime, -1.0);

        // Keys alone: Escape drops the selection, Shift+Right opens one, Z zooms to it.
        Key(Qt::Key_Escape);
        QVERIFY(!model.HasSelection());
        Key(Qt::Key_Right, Qt::ShiftModifier);
        QVERIFY(model.HasSelection());
        Key(Qt::Key_Z);
        QCOMPARE(model.Start(), model.SelectionStart());
        // Nothing selected: Space plays what is shown.
        Key(Qt::Key_Escape);
        Key(Qt::Key_Space);
        QCOMPARE(m_player.m_played.back(), model.PlaySpan());
        QCOMPARE(m_player.m_played.back().first, std::llround(model.Start() * kRate));
    }

    void aClickSetsTheCursorAndTheStatusLineSaysWhatLiesThere()
    {
        CMeasureModel& model = m_pView->Model();
        CMeasurePlot* pPlot = m_pView->Plot();
        QVERIFY(WaitFor([&] { return model.Pitch() && model.Formants() && model.Intensity() && model.Waveform(); }));
        const QPointF at = PointAt(*pPlot, model, 0.5);
        Drag(pPlot, at, at);
        QVERIFY(model.HasCursor() && !model.HasSelection());
        QVERIFY(std::abs(model.Cursor() - 0.5) <= model.Span() / pPlot->Layout().PlotWidth());
        const QString strStatus = m_pView->findChildren<QLabel*>().last()->text();
        QVERIFY2(strStatus.startsWith(QStringLiteral("Cursor 0.5")), qPrintable(strStatus));
        for (const char* sz : {"pitch 1", " F1 ", " F3 ", "intensity ", "sample "})
            QVERIFY2(strStatus.contains(QLatin1String(sz)), qPrintable(strStatus));
        // Over the pitch panel the readout gives the pitch there, not a frequency.
        const QRect rcPitch = pPlot->Layout().rcPitch;
        CMeasureModel::Readout readout;
        QVERIFY(pPlot->ReadoutAt(QPointF(at.x(), rcPitch.center().y()), readout));
        QVERIFY(!readout.bFrequency && readout.dPitchHz > 100);
        QVERIFY(!QString::fromStdString(sonavel::measure::ReadoutText(readout)).contains(QStringLiteral(" 0 Hz")));
        testsupport::SaveShot(m_pView->grab(), "measure-offscreen-layers.png");
    }

    // Analysis > Voice Report: the selection's report, as the report's own door
    // gives it over the same samples, in a panel whose text copies; the
    // pulses layer marks each pulse in the waveform panel.
    void voiceReportOfTheSelectionAndPulsesInTheWaveform()
    {
        CMeasureModel& model = m_pView->Model();
        m_pView->ShowSelected(0.2, 1.0);
        QSignalSpy shown(m_pView.get(), &CMeasureView::VoiceReportShown);
        Key(Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(shown.wait(testsupport::kEventBoundMs));
        auto* pText = m_pView->findChild<QPlainTextEdit*>(QStringLiteral("voiceReportText"));
        QVERIFY(pText && pText->isVisible());
        sonavel::voice::VoiceSettings span;
        span.dStartS = model.SelectionStart();
        span.dEndS = model.SelectionEnd();
        const CMemorySamples source(CSampleLock(m_store.hSamples).Samples(), m_store.sampleCount);
        sonavel::voice::VoiceReport report;
        QVERIFY(sonavel::voice::ReportVoice(sonavel::analysis::CSoundInput::Samples(source, m_store.sampleCount, kRate),
                                            span, 1, report)
                    .Done());
        QVERIFY(report.nPulses > 80 && report.jitter.dLocalPct);
        QCOMPARE(pText->toPlainText(),
                 QString::fromStdString(sonavel::measure::VoiceReportText(report, span, "voice.wav")));
        // A pitch range set in the settings is the report's floor and ceiling too.
        const sonavel::measure::MeasureSettings before = m_pView->Settings();
        sonavel::measure::MeasureSettings ranged = before;
        ranged.pitch.dFloorHz = 100;
        ranged.pitch.dCeilingHz = 300;
        m_pView->ApplySettings(ranged);
        m_pView->Action("voiceReport")->trigger(); // the panel has the keyboard now
        QVERIFY(shown.wait(testsupport::kEventBoundMs));
        sonavel::voice::VoiceSettings spanRanged = span;
        spanRanged.dFloorHz = 100;
        spanRanged.dCeilingHz = 300;
        sonavel::voice::VoiceReport reportRanged;
        QVERIFY(sonavel::voice::ReportVoice(sonavel::analysis::CSoundInput::Samples(source, m_store.sampleCount, kRate),
                                            spanRanged, 1, reportRanged)
                    .Done());
        QCOMPARE(pText->toPlainText(),
                 QString::fromStdString(sonavel::measure::VoiceReportText(reportRanged, spanRanged, "voice.wav")));
        QVERIFY(pText->toPlainText().contains(QStringLiteral("Pitch (floor 100 Hz, ceiling 300 Hz):")));
        m_pView->ApplySettings(before);
        m_pView->findChild<QPushButton*>(QStringLiteral("voiceReportCopy"))->click();
        QCOMPARE(QApplication::clipboard()->text(), pText->toPlainText());
        testsupport::SaveShot(pText->window()->grab(), "measure-offscreen-voice-report.png");
        pText->window()->close();
        m_pView->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_pView.get()));

        const auto PulsePixels = [&] {
            const QImage image = m_pView->Plot()->grab().toImage().convertToFormat(QImage::Format_RGB32);
            const QRect rc = m_pView->Plot()->Layout().rcWaveform;
            int n = 0;
            for (int x = rc.left(); x <= rc.right(); ++x) {
                const QColor c = image.pixelColor(x, rc.top() + 2);
                n += c == QColor(30, 90, 220);
            }
            return n;
        };
        m_pView->Action("clearSelection")->trigger();
        QCOMPARE(PulsePixels(), 0);
        Key(Qt::Key_U, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(m_pView->Settings().layers.bPulses);
        QVERIFY(WaitFor([&] { return model.Pulses() != nullptr; }));
        // Of the whole sound: 3 s of a 120-200 Hz voice around a 0.4 s pause.
        QVERIFY2(model.Pulses()->time_s.size() > 300 && model.Pulses()->time_s.size() < 500,
                 qPrintable(QString::number(model.Pulses()->time_s.size())));
        Key(Qt::Key_Plus);
        Key(Qt::Key_Plus); // a stretch where the marks stand apart
        testsupport::SaveShot(m_pView->grab(), "measure-offscreen-pulses.png");
        QVERIFY(PulsePixels() > 20);
        Key(Qt::Key_U, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(PulsePixels(), 0);
    }

    void aHiddenLayerIsNotDrawnAndTheChoiceIsKept()
    {
        CMeasureModel& model = m_pView->Model();
        CMeasurePlot* pPlot = m_pView->Plot();
        QVERIFY(WaitFor([&] { return model.Formants() != nullptr; }));
        const auto FormantPixels = [&] {
            const QImage image = pPlot->grab().toImage().convertToFormat(QImage::Format_RGB32);
            const QRect rc = pPlot->Layout().rcSpectrogram;
            int n = 0;
            for (int y = rc.top(); y <= rc.bottom(); ++y)
                for (int x = rc.left(); x <= rc.right(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    n += c.red() > 200 && c.green() < 80 && c.blue() < 80;
                }
            return n;
        };
        QVERIFY(FormantPixels() > 50);
        Key(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(!m_pView->Settings().layers.bFormants);
        QCOMPARE(FormantPixels(), 0);
        // The waveform's panel goes, and the pitch takes its place.
        const int nPitchTop = pPlot->Layout().rcPitch.top();
        m_pView->Action("showWaveform")->trigger();
        QCOMPARE(pPlot->Layout().rcWaveform.height(), 0);
        QVERIFY(pPlot->Layout().rcPitch.top() < nPitchTop);
        testsupport::SaveShot(m_pView->grab(), "measure-offscreen-layers-hidden.png");

        CMeasureView second;
        second.SetProfile(kszOrganisation, kszApplication);
        QVERIFY(!second.Settings().layers.bFormants && !second.Settings().layers.bWaveform);
        QVERIFY(second.Settings().layers.bIntensity && second.Settings().layers.bPitch);
        QVERIFY(!second.Action("showFormants")->isChecked() && second.Action("showIntensity")->isChecked());
    }

    void theTrackAndItsFailureAreShownAndDescribed()
    {
        CMeasureModel& model = m_pView->Model();
        QVERIFY(WaitFor([&] { return !model.IsTracking(); }));
        QVERIFY(model.Pitch());
        const QString strDescription = m_pView->Plot()->accessibleDescription();
        QVERIFY2(strDescription.startsWith("voice.wav, 0.000 to 3.000 s of 3.000 s shown, pitch scale ") && strDescription.endsWith(" Hz"),
                 qPrintable(strDescription));
        QVERIFY(model.PitchLow() <= 120 && model.PitchHigh() >= 200);
        Drag(m_pView->Plot(), PointAt(*m_pView->Plot(), model, 1.8), PointAt(*m_pView->Plot(), model, 2.4));
        testsupport::SaveShot(m_pView->grab(), "measure-offscreen-pitch.png");

        // A range the AMDF cannot take: no pitch, and the view says so.
        QSignalSpy pitchShown(m_pView.get(), &CMeasureView::PitchShown);
        m_pView->ApplySettings(Amdf(100, 1900));
        QVERIFY(pitchShown.wait(testsupport::kEventBoundMs));
        QCOMPARE(model.Pitch(), nullptr);
        QVERIFY(QString::fromStdString(sonavel::measure::SettingsLine(m_pView->Settings(), model)).contains("no pitch"));
        QVERIFY(m_pView->Plot()->accessibleDescription().endsWith("no pitch shown"));
        testsupport::SaveShot(m_pView->grab(), "measure-offscreen-no-pitch.png");
        CMeasureSettingsDlg dlg(m_pView->Settings(), kRate, m_pView.get());
        dlg.show();
        testsupport::SaveShot(dlg.grab(), "measure-offscreen-settings.png");

        // A rate no spectrogram can serve (a broken header's): words, not a wait.
        const SampleStore slow = Store(std::vector<int16_t>(600, 1000), 300);
        m_pView->SetSound(CMeasureSound::FromStore(slow), QStringLiteral("slow.wav"));
        QVERIFY(m_pView->Plot()->Scene().strNoPicture.startsWith("No spectrogram: "));
        QVERIFY(!m_pView->Action("savePitch")->isEnabled());
    }

    void lateAndOvertakenPicturesAreNeverShownAsCurrent()
    {
        QSignalSpy shown(m_pView.get(), &CMeasureView::PictureShown);
        const auto pVoice = m_pView->Plot()->Picture();
        QVERIFY(pVoice);
        // Another channel of the file: a picture of the first that arrives
        // late is dropped, and the view waits for its own.
        const SampleStore other = Store(std::vector<int16_t>(m_store.sampleCount, 0), kRate);
        m_pView->SetSound(CMeasureSound::FromStore(other), QStringLiteral("voice.wav"), true);
        m_pView->ShowPicture(pVoice);
        QCOMPARE(m_pView->Plot()->Picture(), nullptr);
        QCOMPARE(shown.count(), 0);
        QVERIFY(WaitForCurrentPicture());
        QCOMPARE(shown.count(), 1);

        // A zoom overtakes a picture on its way: it stands in, drawn over its own
        // stretch, but is not the picture asked for.
        Key(Qt::Key_Plus);
        PictureRequest overtaken = m_pView->LastRequest();
        Key(Qt::Key_Plus);
        CColumnCache cache;
        const auto pOvertaken = ComputePicture(*CMeasureSound::FromStore(other), overtaken, cache);
        m_pView->ShowPicture(pOvertaken);
        QCOMPARE(m_pView->Plot()->Picture(), pOvertaken);
        QCOMPARE(shown.count(), 1);
        QVERIFY(WaitForCurrentPicture());

        // Settings that change the columns: the old picture goes at once.
        Key(Qt::Key_2, Qt::ControlModifier);
        QCOMPARE(m_pView->Plot()->Picture(), nullptr);
        QVERIFY(WaitForCurrentPicture());
        QCOMPARE(m_pView->Plot()->Picture()->request.settings.dWindowS, 0.03);
    }

    void settingsAreKeptAndExportsWriteWhatIsShown()
    {
        Key(Qt::Key_2, Qt::ControlModifier); // narrow-band
        QCOMPARE(m_pView->Settings().spectrogram.dWindowS, 0.03);
        {
            CMeasureView second;
            second.SetProfile(kszOrganisation, kszApplication);
            QCOMPARE(second.Settings().spectrogram.dWindowS, 0.03);
            QVERIFY(second.Settings().pitch.tracker == sonavel::pitch::ETracker::Amdf);
        }
        // A profile edited into nonsense gives the defaults.
        QSettings(kszOrganisation, kszApplication).setValue("Measure/WindowLength", -4);
        CMeasureView third;
        third.SetProfile(kszOrganisation, kszApplication);
        QCOMPARE(third.Settings().spectrogram.dWindowS, 0.005);

        QVERIFY(WaitForCurrentPicture());
        QCOMPARE(m_pView->Plot()->Picture()->request.settings.dWindowS, 0.03);
        QVERIFY(WaitFor([&] { return m_pView->Model().Pitch() != nullptr; }));
        QTemporaryDir dir;
        CMeasurePlot* pPlot = m_pView->Plot();
        // The PNG is the plot as it is on screen, but for the focus frame at its edge.
        QVERIFY(m_pView->WritePicture(dir.filePath("view.png")));
        const QImage png = QImage(dir.filePath("view.png")).convertToFormat(QImage::Format_RGB32);
        const QImage screen = pPlot->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(png.size(), screen.size());
        const QRect rcInside = png.rect().adjusted(3, 3, -3, -3);
        QCOMPARE(png.copy(rcInside), screen.copy(rcInside));
        // The SVG holds the same words and the same shaded picture.
        QVERIFY(m_pView->WritePicture(dir.filePath("view.svg")));
        QFile file(dir.filePath("view.svg"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray svg = file.readAll();
        const QByteArray settingsLine = QString::fromStdString(
            sonavel::measure::SettingsLine(m_pView->Settings(), m_pView->Model())).toHtmlEscaped().toUtf8();
        QVERIFY2(svg.contains(settingsLine.left(30)), settingsLine.constData());
        const QByteArray kszImage = "data:image/png;base64,";
        const int nImage = svg.indexOf(kszImage);
        QVERIFY(nImage > 0);
        const QByteArray base64 = svg.mid(nImage + kszImage.size(), svg.indexOf('"', nImage) - nImage - kszImage.size());
        const QImage shaded = CMeasurePainter::ShadePicture(*pPlot->Picture(), pPlot->Layout().rcSpectrogram.height(),
                                                             m_pView->Settings().spectrogram.dDynamicRangeDb);
        QCOMPARE(QImage::fromData(QByteArray::fromBase64(base64)).convertToFormat(QImage::Format_RGB32), shaded);

        // The selection's frames of every layer, one row per 10 ms.
        m_pView->Model().SetSelection(0.5, 1.0);
        QVERIFY(m_pView->WriteLayerTable(dir.filePath("layers.csv")));
        QFile csv(dir.filePath("layers.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = csv.readAll().split('\n');
        QCOMPARE(lines.first(), QByteArray("time_s,pitch_hz,confidence,f1_hz,f2_hz,f3_hz,intensity_db"));
        QCOMPARE(lines.size(), 1 + 51 + 1);
        for (int i = 1; i < lines.size() - 1; ++i) {
            const QList<QByteArray> fields = lines[i].split(',');
            QCOMPARE(fields.size(), 7);
            QCOMPARE(fields[0].toDouble(), 0.5 + (i - 1) * 0.01);
            QVERIFY(fields[1].toDouble() == 0 || (fields[1].toDouble() > 100 && fields[1].toDouble() < 200));
        }
        testsupport::CMessageRecorder messages;
        m_pView->ExportLayerTable(dir.filePath("no/such/folder/pitch.csv"));
        QCOMPARE(messages.m_messages.size(), size_t(1));
        QVERIFY(!QFile::exists(dir.filePath("no/such/folder/pitch.csv")));
    }

    void theShadingOfEachPixelIsTheLevelBetweenItsBins()
    {
        // Two columns over 70 pixels (past one block of the shading), with a
        // gap: the greys against LevelAt, the rows above the top bin blank.
        CMeasurePicture picture;
        picture.request.settings.dMaxFrequencyHz = 1000;
        picture.request.settings.dDynamicRangeDb = 50;
        picture.grid.nBins = 9;
        picture.grid.dBinHz = 110; // the top bin at 880 Hz, below the top of the scale
        picture.columnIndex = {0, 1};
        for (int c = 0; c < 2; ++c)
            for (int b = 0; b < 9; ++b)
                picture.values.push_back(static_cast<float>(-60.0 + 7.3 * b * (c ? -1 : 1) + 3 * c));
        picture.fTopDb = sonavel::spectrogram::ShadingTop(picture.values.data(), picture.values.size());
        for (int x = 0; x < 70; ++x)
            picture.pixelColumn.push_back(x < 31 ? 0 : x < 40 ? -1 : 1);
        const int nHeight = 57;
        const QImage image = CMeasurePainter::ShadePicture(picture, nHeight, 50);
        const QRgb nBlank = QColor(238, 238, 238).rgb();
        for (int x = 0; x < 70; ++x)
            for (int y = 0; y < nHeight; ++y) {
                const int c = picture.pixelColumn[static_cast<size_t>(x)];
                const double dLevel = picture.LevelAt(c, 1000 * (1 - (y + 0.5) / nHeight));
                const QRgb nPixel = image.pixel(x, y);
                if (c < 0 || std::isnan(dLevel)) {
                    QCOMPARE(nPixel, nBlank);
                    continue;
                }
                const double dGrey = 255 - std::clamp((dLevel - picture.fTopDb + 50) * 255 / 50, 0.0, 255.0);
                QVERIFY2(std::abs(qRed(nPixel) - dGrey) <= 1 && qRed(nPixel) == qBlue(nPixel),
                         qPrintable(QStringLiteral("%1,%2: %3 for %4").arg(x).arg(y).arg(qRed(nPixel)).arg(dGrey)));
            }
    }

    void theWaveformHasAColumnPerDevicePixel()
    {
        // Loud and silent stretches one device pixel each at a ratio of 2:
        // drawn per logical pixel, every column would reach the peaks.
        const QSize size(640, 480);
        CMeasureScene scene;
        scene.settings.layers.bWaveform = true;
        const QRect rc = CMeasureLayout::For(size, CMeasurePainter::ViewFont(), scene.settings.layers).rcWaveform;
        const int nColumns = 2 * rc.width(), nPerColumn = 8, nRate = 8000;
        std::vector<int16_t> samples(static_cast<size_t>(nColumns * nPerColumn), 0);
        for (size_t i = 0; i < samples.size(); ++i)
            if ((i / nPerColumn) % 2 == 0)
                samples[i] = static_cast<int16_t>(i % 2 ? 30000 : -30000);
        CMeasureModel model;
        model.SetSound(static_cast<int64_t>(samples.size()), nRate);
        model.SetSoundSamples(CMeasureSound::FromSamples(samples.data(), static_cast<int64_t>(samples.size()), nRate));
        auto pPyramid = std::make_shared<sonavel::waveform::CWaveformPyramid>();
        const CMemorySamples held(samples.data(), static_cast<int>(samples.size()));
        pPyramid->Build(sonavel::analysis::CSoundInput::Samples(held, static_cast<int>(samples.size()), nRate));
        model.SetWaveform(pPyramid);
        model.SetSpan(0, static_cast<double>(samples.size()) / nRate);
        scene.pModel = &model;
        const QImage image = CMeasurePainter::Render(size, scene, 2.0);
        // Just under the loud stretches' top, across the middle of the panel.
        const int y = static_cast<int>(2 * (rc.top() + rc.height() * 0.5 * (1 - 0.85)));
        int nDark = 0, nCount = 0;
        for (int x = 2 * rc.left() + 20; x < 2 * rc.right() - 20; ++x, ++nCount)
            nDark += qGray(image.pixel(x, y)) < 128;
        QVERIFY2(nDark > nCount / 3 && nDark < 2 * nCount / 3, qPrintable(QStringLiteral("%1 of %2").arg(nDark).arg(nCount)));
    }

    void formantDotsOnlyWithinTheirRangeOfTheLoudestAndTheCeilingSaid()
    {
        // Two seconds with F1 at 500 Hz in every frame: the first at 70 dB,
        // the second 50 dB below it (silence still has poles).
        auto pFormants = std::make_shared<sonavel::formants::FormantFrames>();
        auto pLevel = std::make_shared<sonavel::intensity::IntensityFrames>();
        pFormants->nFormants = 1;
        pFormants->dCeilingHz = 5350;
        for (int i = 0; i <= 200; ++i) {
            pFormants->time_s.push_back(i * 0.01);
            pFormants->hz.push_back(500);
            pFormants->bandwidth_hz.push_back(80);
            pLevel->time_s.push_back(i * 0.01);
            pLevel->db.push_back(i < 100 ? 70 : 20);
        }
        CMeasureModel model;
        model.SetSound(32000, 16000);
        model.SetFormants(pFormants, sonavel::analysis::EOutcome::Done);
        model.SetIntensity(pLevel, sonavel::analysis::EOutcome::Done);
        model.ShowAll();
        CMeasureScene scene;
        scene.pModel = &model;
        const QSize size(640, 480);
        const QRect rc = CMeasureLayout::For(size, CMeasurePainter::ViewFont(), scene.settings.layers).rcSpectrogram;
        const auto RedIn = [&](const QImage& image, int x0, int x1) {
            int n = 0;
            for (int y = rc.top(); y <= rc.bottom(); ++y)
                for (int x = x0; x < x1; ++x) {
                    const QColor c = image.pixelColor(x, y);
                    n += c.red() > 200 && c.green() < 80 && c.blue() < 80;
                }
            return n;
        };
        const int xMiddle = rc.left() + rc.width() / 2;
        QImage image = CMeasurePainter::Render(size, scene, 1.0);
        QVERIFY(RedIn(image, rc.left(), xMiddle - 5) > 100);
        QCOMPARE(RedIn(image, xMiddle + 5, rc.right()), 0);
        scene.settings.dFormantRangeDb = 60;
        image = CMeasurePainter::Render(size, scene, 1.0);
        QVERIFY(RedIn(image, xMiddle + 5, rc.right()) > 100);
        QVERIFY(QString::fromStdString(sonavel::measure::SettingsLine(scene.settings, model))
                    .contains(QStringLiteral("formants: ceiling 5350 Hz, found")));
    }

    void theSettingsDialogRefusesWhatTheViewCannotTakeAndSaysWhy()
    {
        // A 16 kHz sound: a top frequency of 9000 Hz is past its half.
        const SampleStore store16 = Store(Voice(16000, 1.0), 16000);
        m_pView->SetSound(CMeasureSound::FromStore(store16), QStringLiteral("voice16.wav"));
        const sonavel::measure::MeasureSettings before = m_pView->Settings();
        const struct {
            const char* szField;
            const char* szTyped;
            const char* szSaid;
        } cases[] = {{"Top frequency", "9000", "Top frequency must be 100-8000 Hz."},
                     {"Formant ceiling", "500", "Formant ceiling must be at least 1000 Hz"},
                     {"Formant ceiling", "9000", "Formant ceiling must be at most half the sample rate, 8000 Hz"},
                     {"Intensity floor", "10", "Intensity floor must lie between 25 and 1000 Hz"},
                     {"Formants' dynamic range", "0", "The formants' dynamic range must lie above 0"},
                     {"Pitch axis to", "40", "The pitch axis must run from above 0 Hz up to a higher frequency"}};
        for (const auto& c : cases) {
            bool bSeen = false;
            testsupport::WhenModal<CMeasureSettingsDlg>(this, [&](CMeasureSettingsDlg* pDlg) {
                if (QString(c.szField).startsWith("Pitch axis"))
                    pDlg->findChild<QCheckBox*>("fitPitchAxis")->setChecked(false);
                QDoubleSpinBox* pField = nullptr;
                for (QDoubleSpinBox* p : pDlg->findChildren<QDoubleSpinBox*>())
                    if (p->accessibleName() == c.szField)
                        pField = p;
                QVERIFY(pField);
                pField->setFocus();
                pField->selectAll();
                QTest::keyClicks(pField, c.szTyped);
                // What was typed stays as it was typed, and the dialog says why it cannot be taken.
                QCOMPARE(pField->cleanText(), QString(c.szTyped));
                QVERIFY2(pDlg->Problem().startsWith(c.szSaid), qPrintable(pDlg->Problem()));
                QVERIFY(pDlg->findChild<QLabel*>("settingsProblem")->isVisible());
                QTest::keyClick(pField, Qt::Key_Return); // OK is grey: the dialog stays
                QVERIFY(pDlg->isVisible());
                bSeen = true;
                pDlg->reject();
            });
            m_pView->Action("settings")->trigger();
            QVERIFY2(bSeen, c.szField);
            QCOMPARE(m_pView->Settings().spectrogram.dMaxFrequencyHz, before.spectrogram.dMaxFrequencyHz);
            QCOMPARE(m_pView->Settings().formants.dCeilingHz, before.formants.dCeilingHz);
            QCOMPARE(m_pView->Settings().intensity.dFloorHz, before.intensity.dFloorHz);
            QVERIFY(m_pView->Settings().pitchAxis.Fitted());
        }

        // What it takes is kept in the profile, with what it has no field for.
        sonavel::measure::MeasureSettings chosen = m_pView->Settings();
        chosen.layers.bWaveform = false;
        chosen.formants.dCeilingHz = 5000;
        chosen.intensity.dFloorHz = 75;
        chosen.pitchAxis = {60, 300};
        chosen.dFormantRangeDb = 45;
        CMeasureSettingsDlg dlg(chosen, 16000);
        QCOMPARE(dlg.Problem(), QString());
        m_pView->ApplySettings(dlg.Settings());
        CMeasureView second;
        second.SetProfile(kszOrganisation, kszApplication);
        QCOMPARE(second.Settings().formants.dCeilingHz, 5000.0);
        QCOMPARE(second.Settings().intensity.dFloorHz, 75.0);
        QCOMPARE(second.Settings().dFormantRangeDb, 45.0);
        QCOMPARE(second.Settings().pitchAxis.dLowHz, 60.0);
        QCOMPARE(second.Settings().pitchAxis.dHighHz, 300.0);
        QVERIFY(!m_pView->Settings().layers.bWaveform);
    }

    void aPictureIsSavedAtAChosenSizeAndExportsOpenBesideTheSound()
    {
        QTemporaryDir dir;
        QVERIFY(m_pView->WritePicture(dir.filePath("big.png"), PixelSize(1600, 900)));
        const QImage png(dir.filePath("big.png"));
        QCOMPARE(png.size(), QSize(1600, 900));
        // The spectrogram is drawn at that size, not left out.
        const QRect rc = CMeasureLayout::For(png.size(), CMeasurePainter::ViewFont()).rcSpectrogram;
        int nDark = 0;
        for (int y = rc.top(); y < rc.bottom(); y += 4)
            for (int x = rc.left(); x < rc.right(); x += 4)
                nDark += png.pixelColor(x, y).lightness() < 128;
        QVERIFY(nDark > 100);
        QVERIFY(m_pView->WritePicture(dir.filePath("small.svg"), PixelSize(400, 300)));
        QVERIFY(!m_pView->WritePicture(dir.filePath("tiny.png"), PixelSize(100, 100)));
        QVERIFY(!QFile::exists(dir.filePath("tiny.png")));

        m_pView->SetSoundFile(QStringLiteral("/srv/corpus/take7.wav"));
        QCOMPARE(m_pView->ExportFolder(), QStringLiteral("/srv/corpus"));
        m_pView->SetSoundFile(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
                              + "/velmora/tempFile");
        QCOMPARE(m_pView->ExportFolder(), QDir::homePath());
    }

    // A figure shows the sound with its tiers, not where the user is in it:
    // the selection's tint and the cursor only when asked; the waveform's
    // axis says when it is fitted.
    void aFigureLeavesOutTheSelectionUnlessAskedAndHoldsTheTiers()
    {
        CMeasureModel& model = m_pView->Model();
        QVERIFY(WaitFor([&] { return model.Waveform() != nullptr; }));
        QTemporaryDir dir;
        model.SetSelection(0.5, 1.0);
        const QRect rc = m_pView->Plot()->Layout().rcSpectrogram;
        const QPoint inside(rc.left() + static_cast<int>(model.XAtTime(0.75, rc.width())), rc.top() + 3);
        FigureChoice choice;
        QVERIFY(m_pView->WritePicture(dir.filePath("plain.png"), choice));
        choice.bSelection = true;
        QVERIFY(m_pView->WritePicture(dir.filePath("selected.png"), choice));
        const QColor plain = QImage(dir.filePath("plain.png")).pixelColor(inside);
        const QColor selected = QImage(dir.filePath("selected.png")).pixelColor(inside);
        QCOMPARE(plain, QColor(Qt::white)); // above the voice, untinted
        QVERIFY2(selected.blue() > selected.red() + 10, qPrintable(selected.name()));

        QFile grid(dir.filePath("voice.TextGrid"));
        QVERIFY(grid.open(QIODevice::WriteOnly));
        grid.write("File type = \"ooTextFile\"\nObject class = \"TextGrid\"\n\nxmin = 0\nxmax = 3\ntiers? <exists>\n"
                   "size = 1\nitem []:\n  item [1]:\n    class = \"IntervalTier\"\n    name = \"words\"\n    xmin = 0\n"
                   "    xmax = 3\n    intervals: size = 2\n    intervals [1]:\n      xmin = 0\n      xmax = 1.2\n"
                   "      text = \"\xCE\xB8\xC9\xAA\xC5\x8Bk\"\n    intervals [2]:\n      xmin = 1.2\n      xmax = 3\n"
                   "      text = \"\"\n");
        grid.close();
        QVERIFY(m_pView->OpenTextGrid(dir.filePath("voice.TextGrid")));
        m_pView->Action("waveformFitted")->trigger();
        QVERIFY(m_pView->Action("waveformFitted")->isChecked() && model.WaveformFitted());
        QVERIFY(m_pView->WritePicture(dir.filePath("figure.svg")));
        QFile svg(dir.filePath("figure.svg"));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&svg);
        QStringList texts;
        QString strViewBox;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("svg"))
                strViewBox = xml.attributes().value("viewBox").toString();
            else if (xml.name() == QLatin1String("text"))
                texts << xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        for (const QString& strText : {QStringLiteral("words"), QString::fromUtf8("\xCE\xB8\xC9\xAA\xC5\x8Bk"),
                                       QStringLiteral("Amplitude (fitted)")})
            QVERIFY2(texts.contains(strText), qPrintable(strText + " in " + texts.join('|')));
        // The tiers below the picture as shown.
        QCOMPARE(strViewBox.split(' ').value(3).toInt(),
                 m_pView->Plot()->height() + CTierPainter::StripHeight(CMeasurePainter::ViewFont()));
        m_pView->Action("waveformFixed")->trigger();
        QVERIFY(!model.WaveformFitted());
    }

    // Save Picture's size: in pixels or on paper, a change of unit keeping
    // the size on paper, the pixels it makes said, and OK grey where they
    // cannot be drawn.
    void theSavePictureDialogSaysThePixelsOfASizeOnPaper()
    {
        CSavePictureDlg dlg(QSize(960, 600), 2, FigureChoice());
        auto* pUnit = dlg.findChild<QComboBox*>(QStringLiteral("unit"));
        auto* pDpi = dlg.findChild<QSpinBox*>(QStringLiteral("dpi"));
        const QList<QDoubleSpinBox*> sides = dlg.findChildren<QDoubleSpinBox*>();
        QCOMPARE(sides.size(), 2);
        QPushButton* pOk = dlg.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        QVERIFY(dlg.Choice().bAsShown);
        pUnit->setCurrentText(QStringLiteral("cm"));
        QCOMPARE(sides[0]->value(), 25.4); // 960 pixels at 96 dpi
        sides[0]->setValue(16);
        sides[1]->setValue(9);
        pDpi->setValue(300);
        QCOMPARE(dlg.findChild<QLabel*>(QStringLiteral("pixels"))->text(), QStringLiteral("1890x1063 pixels (16 x 9 cm at 300 dpi)"));
        QVERIFY(pOk->isEnabled());
        dlg.findChild<QComboBox*>(QStringLiteral("format"))->setCurrentIndex(3);
        testsupport::SaveShot(dlg.grab(), "save-picture-dialog.png");
        const FigureChoice choice = dlg.Choice();
        QVERIFY(!choice.bAsShown && choice.eFormat == EFigureFormat::Pdf);
        QCOMPARE(choice.size.PixelWidth(), 1890);
        pUnit->setCurrentText(QStringLiteral("mm"));
        QCOMPARE(sides[0]->value(), 160.0);
        pDpi->setValue(1200);
        sides[0]->setValue(300);
        QVERIFY(!pOk->isEnabled());
        QVERIFY(dlg.findChild<QLabel*>(QStringLiteral("problem"))->text().contains(QStringLiteral("200-8000")));
    }

    // At 1200 pixels the pointer's readout and the cursor's share the status
    // line: each gives way with an ellipsis, neither runs into the other.
    void theReadoutsShareTheStatusLineWithoutRunningTogether()
    {
        CMeasureModel& model = m_pView->Model();
        CMeasurePlot* pPlot = m_pView->Plot();
        m_pView->resize(1200, 760);
        QVERIFY(WaitFor([&] { return model.Pitch() && model.Formants() && model.Intensity() && model.Waveform(); }));
        const QPointF at = PointAt(*pPlot, model, 0.5);
        Drag(pPlot, at, at);
        QTest::mouseMove(pPlot, PointAt(*pPlot, model, 0.6).toPoint());
        const QList<CStatusText*> lines = m_pView->findChildren<CStatusText*>();
        QCOMPARE(lines.size(), 2);
        QApplication::processEvents();
        for (CStatusText* pLine : lines) {
            const QString strShown = pLine->ShownText();
            QVERIFY2(strShown == pLine->text() || (strShown.endsWith(QChar(0x2026)) && strShown.size() > 3),
                     qPrintable(strShown + " of " + pLine->text()));
        }
        QVERIFY(lines[0]->text().contains(QStringLiteral(" Hz")) && lines[1]->text().startsWith(QStringLiteral("Cursor")));
        QVERIFY(!lines[0]->geometry().intersects(lines[1]->geometry()));
        testsupport::SaveShot(m_pView->grab(), "measure-status-1200.png");
    }
};

QTEST_MAIN(TestMeasureView)
#include "test_measure_view.moc"
