#include "python/PySpectrogram.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "player/analysis/model/CAnalysisModel.h"
#include "player/analysis/measureview/MeasureSettings.h"
#include "player/analysis/spectrum/SpectrogramColumns.h"
#include "python/BlockArray.h"
#include "python/GridBudget.h"
#include "python/Interpreter.h"
#include "python/SoundArguments.h"

namespace py = pybind11;

namespace sonavel {
namespace python {
namespace {

// The highest rate any reader hands out comfortably above what a file has:
// settings refused even there are refused before a file is read.
constexpr int kAnyRate = 2 * 96000;

// The Python argument a refused setting was given as.
const char* ArgumentName(const char* szSetting)
{
    const std::string_view setting(szSetting);
    if (setting == spectrogram::kszWindowSetting)
        return "window_length";
    if (setting == spectrogram::kszMaxFrequencySetting)
        return "max_frequency";
    if (setting == spectrogram::kszTimeStepSetting)
        return "time_step";
    if (setting == spectrogram::kszDynamicRangeSetting)
        return "dynamic_range";
    return "sound";
}

// The settings as the view fits them to a rate, or ValueError naming the
// argument they are refused for.
spectrogram::SpectrogramSettings FittedSettings(const spectrogram::SpectrogramSettings& asked, int nRate)
{
    measure::MeasureSettings settings;
    settings.spectrogram = asked;
    const spectrogram::SpectrogramSettings fitted = measure::FitToRate(settings, nRate).spectrogram;
    if (const analysis::SettingRefusal refusal = spectrogram::CheckSettings(fitted, nRate))
        throw py::value_error(std::string(ArgumentName(refusal.szSetting)) + ": " + refusal.strWhy);
    return fitted;
}

} // namespace

py::tuple Spectrogram(const py::handle& arg, double dWindowS, double dMaxFrequencyHz, double dTimeStepS,
                      double dDynamicRangeDb, int nThreads, int nChannel)
{
    if (nThreads < 0)
        throw py::value_error("threads must be 0 (one per core) or more");
    const spectrogram::SpectrogramSettings asked{dWindowS, dMaxFrequencyHz, dTimeStepS, dDynamicRangeDb};
    FittedSettings(asked, kAnyRate);
    const CPySound sound = SoundOf(arg, nChannel);
    const int nRate = sound.m_store.sampleRate;
    const spectrogram::SpectrogramSettings settings = FittedSettings(asked, nRate);
    const int64_t nSamples = static_cast<int64_t>(sound.Samples());
    const spectrogram::SpectrogramGrid grid = spectrogram::MakeGrid(settings, nSamples, nRate);
    const size_t nBins = static_cast<size_t>(grid.nBins), nColumns = static_cast<size_t>(grid.nColumns);
    // The levels handed back, and each computing thread's window, frame and
    // power spectrum (doubles, two levels' worth each): a sound whose header
    // claims a huge rate has a huge window.
    const uint64_t nCores = std::max(1u, std::thread::hardware_concurrency());
    const uint64_t nWorkers = std::min<uint64_t>(nThreads > 0 ? uint64_t(nThreads) : nCores,
                                                 std::max<uint64_t>(nColumns / 64, 1));
    const uint64_t nWorking = nWorkers * 2 * (uint64_t(grid.nWindow) + 2 * uint64_t(grid.nFft));
    RequireGridBudget(uint64_t(nBins) * nColumns + nWorking, sizeof(float),
                      "a spectrogram of " + std::to_string(nBins) + " frequencies x " + std::to_string(nColumns)
                          + " times",
                      "a longer time_step or a lower max_frequency makes it smaller");

    // Column after column, as the columns are computed: Fortran order for an
    // array indexed [frequency, time].
    py::array_t<float, py::array::f_style> db({nBins, nColumns});
    float* pDb = db.mutable_data();
    std::vector<double> times(nColumns), frequencies(nBins);
    WithoutInterpreterLock([&] {
        CSampleLock lock(sound.m_store.hSamples);
        spectrogram::ComputeColumns(grid, nSamples > 0 ? lock.Samples() : nullptr, 0, grid.nColumns, pDb, nThreads);
        const size_t nValues = nBins * nColumns;
        spectrogram::ApplyDynamicRange(pDb, nValues, spectrogram::ShadingTop(pDb, nValues), settings.dDynamicRangeDb);
        for (size_t k = 0; k < nColumns; ++k)
            times[k] = grid.ColumnTime(static_cast<int64_t>(k));
        for (size_t b = 0; b < nBins; ++b)
            frequencies[b] = grid.BinFrequency(static_cast<int>(b));
    });
    return py::make_tuple(db, ArrayFromVector(std::move(times)), ArrayFromVector(std::move(frequencies)));
}

py::array_t<double> AnalysisWindowGrid(const py::handle& arg, int nWidth, int nHeight, int nChannel)
{
    const int nMaxColumns = CAnalysisModel::kMaxColumns;
    if (nWidth < 1 || nWidth > nMaxColumns)
        throw py::value_error("width must be 1 to " + std::to_string(nMaxColumns) + " pixels");
    CAnalysisModel model;
    model.Layout(nWidth, nHeight);
    if (model.Rows() < 1)
        throw py::value_error("height must be more than " + std::to_string(nHeight - model.Rows())
                              + " pixels (the text strip below the panels)");
    // The model's columns and the grid handed back are held at once.
    const uint64_t nColumns = uint64_t(model.Columns()), nRows = uint64_t(model.Rows());
    RequireGridBudget(nColumns * (uint64_t(model.ColumnLength()) + nRows), sizeof(double),
                      "a grid of " + std::to_string(nWidth) + " x " + std::to_string(nHeight) + " pixels");
    const CPySound sound = SoundOf(arg, nChannel);
    analysis::EOutcome nResult = analysis::EOutcome::Done;
    WithoutInterpreterLock([&] { nResult = model.ComputeSpectrogram(sound.m_store); });
    if (nResult != analysis::EOutcome::Done)
        RaiseMemoryError(sound.m_strPath + ": not enough memory for the spectrogram");
    py::array_t<double> grid({size_t(nRows), size_t(nColumns)});
    double* pGrid = grid.mutable_data();
    WithoutInterpreterLock([&] {
        for (size_t c = 0; c < nColumns; ++c) {
            const double* pColumn = model.Column(static_cast<int>(c));
            for (size_t j = 0; j < nRows; ++j)
                pGrid[j * nColumns + c] = pColumn[j];
        }
    });
    return grid;
}

} // namespace python
} // namespace sonavel
