// The measuring view's spectral slice and its selection saved as a sound,
// offscreen: the slice follows the cursor and reads known sines; every key of
// the view is its own; the saved span is what sox reads back, and the sound's
// own file is never written over.
#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>
#include <set>

#include "player/analysis/window/CMeasureView.h"
#include "player/analysis/window/CSpectralSlicePanel.h"
#include "player/audio/WaveWriter.h"
#include "tests/player/analysis/window/MeasureTestSupport.h"
#include "tests/support/CScratchDir.h"
#include "tests/support/SaveShot.h"
#include "tests/support/WhenModal.h"

using namespace measuretest;
using testsupport::Quote;
using testsupport::Shell;
using testsupport::Slurp;

namespace {
const int kRate = 16000;
const double kLowHz = 611.3, kHighHz = 2345.6; // the first second's sine, then the second's

struct ScratchPath {
    std::string strDir;
    std::string operator/(const std::string& name) const { return strDir + "/" + name; }
};

std::vector<int16_t> TwoSines()
{
    std::vector<int16_t> s(2 * kRate);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = int16_t(std::lround(12000 * std::sin(2 * M_PI * (i < size_t(kRate) ? kLowHz : kHighHz) * double(i) / kRate)));
    return s;
}
} // namespace

class TestSliceView : public QObject {
    Q_OBJECT

    std::unique_ptr<CMeasureView> m_pView;
    std::vector<int16_t> m_samples = TwoSines();
    SampleStore m_store = Store(m_samples, kRate);

    void ClickAt(double t)
    {
        const QPointF at = PointAt(*m_pView->Plot(), m_pView->Model(), t);
        QTest::mouseClick(m_pView->Plot(), Qt::LeftButton, Qt::NoModifier, at.toPoint());
    }

private slots:
    void init()
    {
        m_pView = std::make_unique<CMeasureView>();
        m_pView->setAttribute(Qt::WA_DeleteOnClose, false);
        m_pView->SetSound(CMeasureSound::FromStore(m_store), QStringLiteral("sines.wav"));
        m_pView->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pView.get()));
    }
    void cleanup() { m_pView.reset(); }

    void everyKeyIsItsOwn()
    {
        std::set<QString> keys;
        for (const QAction* pAction : m_pView->findChildren<QAction*>())
            for (const QKeySequence& key : pAction->shortcuts())
                QVERIFY2(keys.insert(key.toString()).second, qPrintable(key.toString() + " twice"));
        QVERIFY(!m_pView->Action("spectralSlice")->shortcut().isEmpty());
        QVERIFY(!m_pView->Action("saveSound")->shortcut().isEmpty());
    }

    void theSliceFollowsTheCursorAndReadsTheSines()
    {
        ClickAt(0.5);
        QTest::keyClick(m_pView->Plot(), Qt::Key_L, Qt::ControlModifier);
        CSpectralSlicePanel* pPanel = m_pView->SlicePanel();
        QVERIFY(pPanel && pPanel->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(pPanel));
        const auto Strongest = [&] {
            const auto& peaks = pPanel->Slice().peaks;
            return peaks.empty() ? 0.0
                                 : std::max_element(peaks.begin(), peaks.end(), [](auto& a, auto& b) { return a.dDb < b.dDb; })->dHz;
        };
        QVERIFY(std::abs(m_pView->SliceTime() - 0.5) < 0.01);
        QVERIFY2(std::abs(Strongest() - kLowHz) < 2, qPrintable(pPanel->PeaksText()));
        QVERIFY(pPanel->PeaksText().contains(QString::number(std::lround(kLowHz))));
        QVERIFY(!pPanel->Slice().lpc_db.empty());
        testsupport::SaveShot(pPanel->grab(), "spectral-slice.png");
        ClickAt(1.5);
        QVERIFY2(std::abs(Strongest() - kHighHz) < 2, qPrintable(pPanel->PeaksText()));
        QVERIFY(pPanel->windowTitle().contains(QStringLiteral("1.5")));
        // Narrow-band: the spectrogram's window is the slice's.
        QTest::keyClick(pPanel, Qt::Key_2, Qt::ControlModifier);
        QVERIFY2(pPanel->PeaksText().contains(QStringLiteral("window 30 ms")), qPrintable(pPanel->PeaksText()));
    }

    void theSelectionIsSavedAsSoxReadsItAndNeverOverItsFile()
    {
        if (Shell("command -v sox > /dev/null") != 0)
            QSKIP("sox is not installed: the saved sound is not read back");
        QTemporaryDir folder(QDir::current().filePath(QStringLiteral("slice-view-XXXXXX")));
        QVERIFY(folder.isValid());
        const ScratchPath dir{folder.path().toStdString()};
        const auto SoxSamples = [&](const std::string& path) {
            Shell("sox " + Quote(path) + " -t raw -e signed -b 16 -c 1 " + Quote(dir / "out.raw"));
            const std::string bytes = Slurp(dir / "out.raw");
            std::vector<int16_t> s(bytes.size() / 2);
            std::memcpy(s.data(), bytes.data(), s.size() * 2);
            return s;
        };
        m_pView->Model().SetSelection(0.25003, 1.70001);
        const QString strSpan = QString::fromStdString(dir / "span.wav");
        QVERIFY(m_pView->WriteSelectionSound(strSpan));
        const auto [nFirst, nEnd] = sonavel::audio::SamplesOfSpan(0.25003, 1.70001, kRate, int64_t(m_samples.size()));
        QCOMPARE(SoxSamples(strSpan.toStdString()),
                 std::vector<int16_t>(m_samples.begin() + nFirst, m_samples.begin() + nEnd));
        QCOMPARE(nEnd - nFirst, int64_t(std::lround(1.70001 * kRate) - std::lround(0.25003 * kRate)));

        m_pView->Model().ClearSelection();
        const QString strAll = QString::fromStdString(dir / "all.wav");
        QVERIFY(m_pView->WriteSelectionSound(strAll));
        QCOMPARE(SoxSamples(strAll.toStdString()), m_samples);

        // Shown from all.wav, neither it nor a link to it may be written over.
        m_pView->SetSoundFile(strAll);
        const std::string before = Slurp(strAll.toStdString());
        QVERIFY(QFile::link(strAll, QString::fromStdString(dir / "link.wav")));
        m_pView->Model().SetSelection(0.1, 0.2);
        for (const std::string name : {"all.wav", "link.wav"}) {
            QString strWhy;
            QVERIFY(!m_pView->WriteSelectionSound(QString::fromStdString(dir / name), &strWhy));
            QVERIFY2(strWhy.contains(QStringLiteral("own file")), qPrintable(strWhy));
        }
        QVERIFY(Slurp(strAll.toStdString()) == before);

        // The menu's dialog opens in the sound's folder and offers the selection's own name.
        QString strFolder, strOffered;
        testsupport::WhenModal<QFileDialog>(this, [&](QFileDialog* p) {
            strFolder = p->directory().absolutePath();
            strOffered = p->selectedFiles().value(0);
            // Typed as a user would, without the suffix the dialog adds.
            auto* pName = p->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(pName);
            pName->setText(QStringLiteral("menu"));
            static_cast<QDialog*>(p)->accept(); // QFileDialog keeps its own accept() protected
        });
        m_pView->Action("saveSound")->trigger();
        QCOMPARE(strFolder, folder.path());
        QCOMPARE(QFileInfo(strOffered).fileName(), QStringLiteral("sines-selection.wav"));
        const auto [nMenuFirst, nMenuEnd] = sonavel::audio::SamplesOfSpan(0.1, 0.2, kRate, int64_t(m_samples.size()));
        QCOMPARE(SoxSamples(dir / "menu.wav"),
                 std::vector<int16_t>(m_samples.begin() + nMenuFirst, m_samples.begin() + nMenuEnd));
        QString strWhy;
        QVERIFY(!m_pView->WriteSelectionSound(QString::fromStdString(dir / "no such folder/x.wav"), &strWhy));
        QVERIFY2(strWhy.startsWith(QStringLiteral("cannot write")), qPrintable(strWhy));
    }
};

QTEST_MAIN(TestSliceView)
#include "test_slice_view.moc"
