// The measuring view's columns of a whole sound as its own picture code makes
// them, for the module's tests to compare sonavel.spectrogram with: one pixel
// per column, each level raised to the floor the painter shades as white.
//   view_columns FILE WINDOW_S MAX_HZ STEP_S RANGE_DB > columns.f32
// Writes the columns one after the other (native float32), after one line:
// "COLUMNS BINS".
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "player/analysis/measureview/CMeasurePicture.h"
#include "player/analysis/measureview/MeasureSettings.h"
#include "player/audio/SoundReaders.h"

int main(int argc, char** argv)
{
    if (argc != 6)
        return 2;
    SampleStore store;
    if (!sonavel::audio::LoadSoundForAnalysis(argv[1], store).Loaded())
        return 1;
    sonavel::measure::MeasureSettings settings;
    settings.spectrogram = {std::atof(argv[2]), std::atof(argv[3]), std::atof(argv[4]), std::atof(argv[5])};
    settings = sonavel::measure::FitToRate(settings, store.sampleRate);
    const auto pSound = CMeasureSound::FromStore(store);
    const auto grid = sonavel::spectrogram::MakeGrid(settings.spectrogram, pSound->Count(), pSound->Rate());
    // Pixel x's centre at column x's time.
    const double dStep = grid.dStepS;
    const PictureRequest request{-dStep / 2, (static_cast<double>(grid.nColumns) - 0.5) * dStep,
                                 static_cast<int>(grid.nColumns), settings.spectrogram};
    CColumnCache cache;
    const auto pPicture = ComputePicture(*pSound, request, cache, 2);
    if (!pPicture || pPicture->Columns() != grid.nColumns || pPicture->grid.nBins != grid.nBins)
        return 1;
    std::vector<float> values = pPicture->values;
    const float fFloor = static_cast<float>(pPicture->fTopDb - settings.spectrogram.dDynamicRangeDb);
    for (float& f : values)
        f = std::max(f, fFloor);
    std::printf("%d %d\n", pPicture->Columns(), grid.nBins);
    std::fwrite(values.data(), sizeof(float), values.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
