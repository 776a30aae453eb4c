#include "python/PySlice.h"

#include <string>
#include <vector>

#include "player/analysis/slice/SpectralSlice.h"
#include "python/BlockArray.h"
#include "python/Interpreter.h"
#include "python/SoundArguments.h"

namespace py = pybind11;

namespace sonavel {
namespace python {
namespace {

void CheckSettings(const slice::SliceSettings& settings, int nRate)
{
    if (const analysis::SettingRefusal refusal = slice::RefusedSetting(settings, nRate))
        throw py::value_error(std::string(refusal.szSetting) + ": " + refusal.strWhy);
}

std::vector<double> PeakFrequencies(const std::vector<slice::SlicePeak>& peaks)
{
    std::vector<double> hz;
    for (const slice::SlicePeak& p : peaks)
        hz.push_back(p.dHz);
    return hz;
}

} // namespace

py::tuple Spectrum(const py::handle& arg, double dAtS, double dWindowS, int nChannel)
{
    slice::SliceSettings settings;
    settings.dTimeS = dAtS;
    settings.dWindowS = dWindowS;
    settings.bEnvelope = true;
    CheckSettings(settings, 0);
    slice::SpectralSlice result;
    std::string strPath;
    const analysis::SoundOutcome outcome = AnalyseArgument(
        arg, nChannel,
        [&](const analysis::CSoundInput& input) { return slice::SliceSound(input, settings, 0, result); }, strPath);
    if (outcome.nOutcome == analysis::EOutcome::Refused && outcome.strWhy.empty())
        CheckSettings(settings, outcome.nRate);
    if (!outcome.Done())
        RaiseOutcome(outcome, slice::kSliceWords, strPath);
    return py::make_tuple(ArrayFromVector(std::move(result.frequency_hz)), ArrayFromVector(std::move(result.db)),
                          ArrayFromVector(std::move(result.lpc_db)), ArrayFromVector(PeakFrequencies(result.peaks)),
                          ArrayFromVector(PeakFrequencies(result.lpcPeaks)), result.dCeilingHz);
}

} // namespace python
} // namespace sonavel
