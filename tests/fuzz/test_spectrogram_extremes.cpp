// The analysis model's two computations and their painting on the sounds of the
// extremes test: any length, any rate a file can carry, full-scale content. The
// spectrogram must come out ready with every value on the 0..35 dB grey scale.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <climits>
#include <cmath>
#include <string>

#include "player/analysis/model/CAnalysisModel.h"
#include "player/analysis/paint/CAnalysisPainter.h"

namespace {

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
    CAnalysisModel model;
    const QSize size = CAnalysisPainter::WindowSize();
    model.Layout(size.width(), size.height());
    ASSERT_GT(model.Columns(), 0);
    ASSERT_GT(model.Rows(), 0);
    QImage image(size, QImage::Format_RGB32);

    for (int nCount : {0, 1, 73, 74, 539, 540})
        for (int nRate : {0, 1, 259, 999, 1000, 8000, 192000, -1, INT_MIN})
            for (int nContent : {0, 1, 2}) {
                SCOPED_TRACE(std::to_string(nCount) + " samples at " + std::to_string(nRate) +
                             " Hz, content " + std::to_string(nContent));
                const SampleStore store = MakeStore(nCount, nRate, nContent);
                model.ComputePitch(store); // a rate the tracker refuses leaves the panel without dots
                ASSERT_TRUE(model.ComputeSpectrogram(store) == sonavel::analysis::EOutcome::Done);
                ASSERT_TRUE(model.IsPitchReady());
                ASSERT_TRUE(model.IsSpectrogramReady());
                EXPECT_EQ(model.PitchCount(), nCount / 100 + 1);
                for (int c = 0; c < model.Columns(); ++c)
                    for (int r = 0; r < model.Rows(); ++r) {
                        const double v = model.Column(c)[r];
                        ASSERT_TRUE(std::isfinite(v) && v >= 0.0 && v <= 35.0)
                            << "column " << c << " row " << r << " is " << v;
                    }
                QPainter dc(&image);
                const CAnalysisPainter painter(model);
                painter.DrawPitch(dc);
                painter.DrawSpectrogram(dc);
            }
}

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
