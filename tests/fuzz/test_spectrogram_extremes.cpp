// The analysis window's two computations and its drawing on the sounds of the
// extremes test: any length, any rate a file can carry, full-scale content. The
// spectrogram must come out ready with every value on the 0..35 dB grey scale.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <climits>
#include <cmath>
#include <string>

#include "player/analysis/CAnalysisDlg.h"
#include "player/audio/Messages.h"

namespace {

// Reads the column blocks the window keeps for repainting.
class CInspectableDlg : public CAnalysisDlg {
public:
    double Value(int nColumn, int nRow) const
    {
        CSampleLock lock(m_hColumns[nColumn]);
        return static_cast<const double*>(lock.Data())[nRow];
    }
};

SampleStore MakeStore(int nCount, int nRate, int nContent)
{
    SampleStore store;
    store.sampleCount = nCount;
    store.byteLength = 2 * nCount;
    store.sampleRate = nRate;
    store.hSamples = CSampleBlock::Alloc(sizeof(int16_t) * static_cast<size_t>(nCount));
    CSampleLock lock(store.hSamples);
    for (int i = 0; i < nCount; ++i)
        lock.Samples()[i] = nContent == 0 ? -32768 : nContent == 1 ? 32767 : ((i & 1) ? 32767 : -32768);
    return store;
}

} // namespace

TEST(SpectrogramExtremes, EveryLengthRateAndContentGivesADrawableSpectrogram)
{
    int nMessages = 0;
    auto previous = sonavel::SetMessageBoxHandler([&](const std::string&, unsigned) { return ++nMessages, 1; });
    CInspectableDlg dlg;
    ASSERT_TRUE(dlg.OnInitDialog());
    ASSERT_GT(dlg.Columns(), 0);
    ASSERT_GT(dlg.Rows(), 0);
    QImage image(dlg.width(), dlg.height(), QImage::Format_RGB32);

    for (int nCount : {0, 1, 73, 74, 539, 540})
        for (int nRate : {0, 1, 259, 999, 1000, 8000, 192000, -1, INT_MIN})
            for (int nContent : {0, 1, 2}) {
                SCOPED_TRACE(std::to_string(nCount) + " samples at " + std::to_string(nRate) +
                             " Hz, content " + std::to_string(nContent));
                const SampleStore store = MakeStore(nCount, nRate, nContent);
                ASSERT_EQ(dlg.ComputePitch(store), 0);
                ASSERT_EQ(dlg.ComputeSpectrogram(store), 0);
                ASSERT_TRUE(dlg.IsPitchReady());
                ASSERT_TRUE(dlg.IsSpectrogramReady());
                EXPECT_EQ(dlg.PitchCount(), nCount / 100 + 1);
                for (int c = 0; c < dlg.Columns(); ++c)
                    for (int r = 0; r < dlg.Rows(); ++r) {
                        const double v = dlg.Value(c, r);
                        ASSERT_TRUE(std::isfinite(v) && v >= 0.0 && v <= 35.0)
                            << "column " << c << " row " << r << " is " << v;
                    }
                QPainter dc(&image);
                dlg.DrawPitch(dc);
                dlg.DrawSpectrogram(dc);
            }
    EXPECT_EQ(nMessages, 0);
    sonavel::SetMessageBoxHandler(previous);
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
