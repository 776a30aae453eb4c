// The sound as heard: the real `sonavel` program plays a generated WAV
// through the audio device (QAudioSink on a private PulseAudio server with a
// null sink), and the sink's monitor recording must match it, the end
// included. Run under with-pulse.sh; the NoServer cases run without a server.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "player/shell/WaveOut.h"
#include "tests/support/SampleBlockProbe.h"
#include "player/shell/CSonavelProApp.h"
#include "player/shell/CWaveWnd.h"
#include "tests/player/shell/ShellTestSupport.h"
#include "tests/support/AwaitEvent.h"
#include "tests/support/PulseStreams.h"

using namespace shelltest;

namespace {

constexpr int kRate = 22050;

struct Alignment {
    int nLag = 0;       // recording[i + nLag] lines up with sound[i]
    double dNcc = 0;    // normalised by the whole sound's energy
};

Alignment BestAlignment(const std::vector<int16_t>& x, const std::vector<int16_t>& y, int nMinLag, int nMaxLag)
{
    double ex = 0;
    for (int16_t v : x)
        ex += double(v) * v;
    Alignment best;
    for (int lag = nMinLag; lag <= nMaxLag; ++lag) {
        int i0 = std::max(0, -lag);
        int i1 = std::min<int>(static_cast<int>(x.size()), static_cast<int>(y.size()) - lag);
        if (i1 <= i0)
            continue;
        double sxy = 0, ey = 0;
        for (int i = i0; i < i1; ++i) {
            double b = y[static_cast<size_t>(i + lag)];
            sxy += x[static_cast<size_t>(i)] * b;
            ey += b * b;
        }
        double ncc = ey > 0 ? sxy / std::sqrt(ex * ey) : 0;
        if (ncc > best.dNcc)
            best = {lag, ncc};
    }
    return best;
}

// Windows of the sound that the recording holds at about the right level and shape.
int WindowsPresent(const std::vector<int16_t>& x, const std::vector<int16_t>& y, int nLag, int nWindow, int* pLastMissing)
{
    int nPresent = 0;
    *pLastMissing = -1;
    for (int w = 0; (w + 1) * nWindow <= static_cast<int>(x.size()); ++w) {
        double sxy = 0, ex = 0, ey = 0;
        for (int i = w * nWindow; i < (w + 1) * nWindow; ++i) {
            int j = i + nLag;
            double b = (j >= 0 && j < static_cast<int>(y.size())) ? y[static_cast<size_t>(j)] : 0;
            sxy += x[static_cast<size_t>(i)] * b;
            ex += double(x[static_cast<size_t>(i)]) * x[static_cast<size_t>(i)];
            ey += b * b;
        }
        double ncc = ex > 0 && ey > 0 ? sxy / std::sqrt(ex * ey) : 0;
        double level = ex > 0 ? std::sqrt(ey / ex) : 0;
        if (ncc > 0.9 && level > 0.7 && level < 1.4)
            ++nPresent;
        else
            *pLastMissing = w;
    }
    return nPresent;
}

// The recording must hold the whole sound at the right level: every 50 ms
// window but the first (partly lost by the recorder), and above all the end.
void ExpectHeardInFull(const std::vector<int16_t>& sound, const QString& strRaw)
{
    QFile f(strRaw);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray raw = f.readAll();
    std::vector<int16_t> heard(static_cast<size_t>(raw.size() / 2));
    std::memcpy(heard.data(), raw.constData(), heard.size() * 2);
    ASSERT_GT(heard.size(), sound.size() / 2) << "hardly anything was recorded";

    // The recording may start before the sound (silence first) or miss its
    // first ~20 ms.
    Alignment a = BestAlignment(sound, heard, -kRate / 10, static_cast<int>(heard.size()) - kRate / 2);
    EXPECT_GT(a.dNcc, 0.9) << "best lag " << a.nLag;

    const int nWindow = kRate / 20;
    int nWindows = static_cast<int>(sound.size()) / nWindow;
    int nLastMissing = -1;
    int nPresent = WindowsPresent(sound, heard, a.nLag, nWindow, &nLastMissing);
    std::printf("best lag %d samples, ncc %.3f, %d of %d windows present, last missing %d\n", a.nLag, a.dNcc,
                nPresent, nWindows, nLastMissing);
    EXPECT_GE(nPresent, nWindows - 1) << "of " << nWindows << " windows";
    EXPECT_LT(nLastMissing, 1) << "window " << nLastMissing << " of " << nWindows << " is missing or garbled";
}

QProcess* StartRecorder(const QString& strRaw)
{
    QProcess* pParec = testsupport::StartRecorder(strRaw, kRate);
    EXPECT_TRUE(pParec) << "the recorder never attached";
    return pParec;
}

void StopRecorder(QProcess* pParec, const QString& strRaw)
{
    if (pParec) {
        EXPECT_TRUE(testsupport::StopRecorder(pParec, strRaw, kRate));
    }
}

TEST(RealDevice, SonavelPlaysTheWholeSoundOnTheDefaultDevice)
{
    ASSERT_FALSE(qgetenv("XDG_RUNTIME_DIR").isEmpty()) << "run under with-pulse.sh";
    QTemporaryDir dir;
    std::vector<int16_t> sound = Glide(kRate * 3 / 2, kRate);
    QString strWav = dir.filePath("glide.wav");
    ASSERT_TRUE(WriteTestFile(strWav, MakeWav(sound, kRate)));
    QString strRaw = dir.filePath("heard.raw");

    QProcess* pParec = StartRecorder(strRaw);

    QProcess player;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    player.setProcessEnvironment(env);
    player.setProcessChannelMode(QProcess::ForwardedChannels);
    player.start(SONAVEL_PATH, {strWav});
    ASSERT_TRUE(player.waitForStarted(testsupport::kEventBoundMs));

    // The player's stream appears, and goes once the device has played the
    // buffer and the player closed it.
    EXPECT_TRUE(testsupport::WaitForPlaybackStart()) << "no stream ever reached the server";
    EXPECT_TRUE(testsupport::WaitForPlaybackEnd()) << "the stream never ended";
    StopRecorder(pParec, strRaw);
    EXPECT_EQ(player.state(), QProcess::Running) << "the player ended on its own";
    player.terminate();
    if (!player.waitForFinished(testsupport::kEventBoundMs)) {
        player.kill();
        player.waitForFinished(testsupport::kEventBoundMs);
    }

    ExpectHeardInFull(sound, strRaw);
}

TEST(RealDevice, ABusyUserInterfaceThreadDoesNotMakeTheSoundStutter)
{
    // The analysis of a long sound keeps the UI thread busy for a while;
    // the device must go on being fed meanwhile.
    QTemporaryDir dir;
    std::vector<int16_t> sound = Glide(kRate * 3, kRate);
    SampleStore store;
    store.sampleCount = static_cast<int32_t>(sound.size());
    store.byteLength = store.sampleCount * 2;
    store.sampleRate = kRate;
    store.hSamples = CSampleBlock::Alloc(static_cast<size_t>(store.byteLength));
    std::copy(sound.begin(), sound.end(), CSampleLock(store.hSamples).Samples());

    QString strRaw = dir.filePath("busy.raw");
    QProcess* pParec = StartRecorder(strRaw);
    CWaveWnd wave;
    ASSERT_EQ(wave.Play(store, 0, store.sampleCount), 0);
    // The stimulus: 1.2 s into the sound, a second of it played and recorded
    // while this thread processes no event at all.
    EXPECT_TRUE(testsupport::WaitForRecordingToGrow(strRaw, kRate * 2 * 12 / 10));
    EXPECT_TRUE(testsupport::AwaitFileSize(strRaw.toStdString(), QFileInfo(strRaw).size() + kRate * 2));
    EXPECT_TRUE(WaitFor([&] { return wave.m_hWaveOut == 0; }));
    StopRecorder(pParec, strRaw);
    ExpectHeardInFull(sound, strRaw);
}

TEST(RealDevice, TheEndOfBufferNoticeComesOnlyAfterTheSoundHadTimeToPlay)
{
    SampleStore store;
    std::vector<int16_t> sound = Glide(kRate / 2, kRate);
    store.sampleCount = static_cast<int32_t>(sound.size());
    store.byteLength = store.sampleCount * 2;
    store.sampleRate = kRate;
    store.hSamples = CSampleBlock::Alloc(static_cast<size_t>(store.byteLength));
    std::copy(sound.begin(), sound.end(), CSampleLock(store.hSamples).Samples());

    WaveFormat bad;
    bad.nSamplesPerSec = 0;
    EXPECT_NE(CurrentWaveOutFactory()->QueryFormat(bad), 0u);

    QTemporaryDir dir;
    const QString strRaw = dir.filePath("notice.raw");
    QProcess* pParec = StartRecorder(strRaw);
    CWaveWnd wave;
    ASSERT_EQ(wave.Play(store, 0, store.sampleCount), 0);
    EXPECT_EQ(CSampleBlockProbe::LockCount(store.hSamples), 1);
    ASSERT_TRUE(WaitFor([&] { return wave.m_hWaveOut == 0; }));
    const qint64 nHeardAtNotice = QFileInfo(strRaw).size() / 2;
    EXPECT_EQ(CSampleBlockProbe::LockCount(store.hSamples), 0);
    EXPECT_EQ(OpenWaveOutCount(), 0);
    StopRecorder(pParec, strRaw);

    // By the notice the sink had played the sound: the recording of its
    // monitor, which lags the sink a little, already held half of it.
    const QByteArray raw = testsupport::ReadTestFile(strRaw);
    std::vector<int16_t> heard(static_cast<size_t>(raw.size() / 2));
    std::memcpy(heard.data(), raw.constData(), heard.size() * 2);
    const Alignment a = BestAlignment(sound, heard, -kRate / 10, static_cast<int>(heard.size()) - kRate / 4);
    ASSERT_GT(a.dNcc, 0.9) << "the sound is not in the recording";
    std::printf("at the notice %lld samples recorded; the sound starts at %d and has %zu\n",
                static_cast<long long>(nHeardAtNotice), a.nLag, sound.size());
    EXPECT_GE(nHeardAtNotice, a.nLag + static_cast<qint64>(sound.size()) / 2)
        << "the notice came before half the sound had played";
}

TEST(RealDevice, OddRatesEitherFailWithACodeOrPlayToTheEnd)
{
    for (int32_t nRate : {1, 30, 500, 4000, 96000, 1000000, INT32_MAX}) {
        SampleStore store;
        store.sampleCount = 2000;
        store.byteLength = 4000;
        store.sampleRate = nRate;
        store.hSamples = CSampleBlock::Alloc(4000);
        CWaveWnd wave;
        int nResult = wave.Play(store, 0, store.sampleCount);
        // Far too slow for the device: refused up front.
        if (nRate < 1000) {
            EXPECT_EQ(nResult, CWaveWnd::PLAY_BAD_FORMAT) << nRate;
        }
        if (nResult == 0) {
            EXPECT_TRUE(WaitFor([&] { return wave.m_hWaveOut == 0; })) << nRate;
        }
        EXPECT_EQ(CSampleBlockProbe::LockCount(store.hSamples), 0) << nRate;
        EXPECT_EQ(OpenWaveOutCount(), 0) << nRate;
    }
}

// The sound server of with-pulse.sh goes away (a restart after a device
// change does this) and comes back under the same name.
void StopSoundServer()
{
    QFile pid(qEnvironmentVariable("PULSE_RUNTIME_PATH") + "/pid");
    ASSERT_TRUE(pid.open(QIODevice::ReadOnly));
    const pid_t nPid = static_cast<pid_t>(pid.readAll().trimmed().toLong());
    ASSERT_EQ(QProcess::execute("pulseaudio", {"-k"}), 0);
    ASSERT_TRUE(testsupport::AwaitProcessEnd(nPid));
}

void StartSoundServer() { ASSERT_EQ(QProcess::execute(START_PULSE_PATH, {}), 0); }

TEST(RealDevice, PlaybackComesBackWhenTheSoundServerReturns)
{
    SampleStore store;
    const std::vector<int16_t> sound = Glide(kRate * 3 / 2, kRate);
    store.sampleCount = static_cast<int32_t>(sound.size());
    store.byteLength = store.sampleCount * 2;
    store.sampleRate = kRate;
    store.hSamples = CSampleBlock::Alloc(static_cast<size_t>(store.byteLength));
    std::copy(sound.begin(), sound.end(), CSampleLock(store.hSamples).Samples());

    // Gone mid-sound: that playback ends and lets its samples go.
    CWaveWnd cut;
    ASSERT_EQ(cut.Play(store, 0, store.sampleCount), 0);
    ASSERT_TRUE(testsupport::WaitForPlaybackStart());
    StopSoundServer();
    EXPECT_TRUE(WaitFor([&] { return cut.m_hWaveOut == 0; }));
    // Away: Play fails with a code. The outage is a stimulus of its own: it
    // outlasts, event loop running, the few seconds in which a sound library
    // may retry on its own, so a connection that gave up for good is caught.
    {
        CWaveWnd away;
        EXPECT_NE(away.Play(store, 0, store.sampleCount), 0);
    }
    const int kOutageMs = 4000;
    WaitFor([] { return false; }, kOutageMs);
    EXPECT_EQ(CSampleBlockProbe::LockCount(store.hSamples), 0);
    EXPECT_EQ(OpenWaveOutCount(), 0);

    // Back: the next Play is heard whole.
    StartSoundServer();
    QTemporaryDir dir;
    const QString strRaw = dir.filePath("back.raw");
    QProcess* pParec = StartRecorder(strRaw);
    CWaveWnd back;
    ASSERT_EQ(back.Play(store, 0, store.sampleCount), 0);
    EXPECT_TRUE(WaitFor([&] { return back.m_hWaveOut == 0; }));
    StopRecorder(pParec, strRaw);
    ExpectHeardInFull(sound, strRaw);
}

TEST(NoServer, PlaybackFailsWithACodeInsteadOfHanging)
{
    SampleStore store;
    store.sampleCount = 100;
    store.byteLength = 200;
    store.sampleRate = kRate;
    store.hSamples = CSampleBlock::Alloc(200);
    CWaveWnd wave;
    EXPECT_NE(wave.Play(store, 0, store.sampleCount), 0);
    EXPECT_EQ(CSampleBlockProbe::LockCount(store.hSamples), 0);
    EXPECT_EQ(OpenWaveOutCount(), 0);

    // The application tells the user and greys Play.
    CMessageRecorder messages;
    CSonavelProApp app;
    QTemporaryDir dir;
    QString strWav = dir.filePath("a.wav");
    WriteTestFile(strWav, MakeWav(Glide(2205, kRate), kRate));
    app.OpenDocumentFile(strWav);
    EXPECT_EQ(messages.m_messages, (std::vector<std::string>{" error in play "}));
    EXPECT_EQ(app.m_bLoaded, 0);
    EXPECT_EQ(app.m_store.sampleCount, 2205);
}

} // namespace
