#include "python/PyFormants.h"

#include <string>

#include "player/analysis/formants/FormantTrack.h"
#include "player/analysis/intensity/IntensityTrack.h"
#include "python/BlockArray.h"
#include "python/Interpreter.h"
#include "python/SoundArguments.h"

namespace py = pybind11;

namespace sonavel {
namespace python {
namespace {

// The Python argument a refused setting was given as.
std::string ArgumentName(const char* szSetting)
{
    const std::string s = szSetting;
    return s == "formants" ? "count" : s == "max-formant" ? "max_formant" : s;
}

void CheckFormantSettings(const formants::FormantSettings& settings, int nRate)
{
    if (const analysis::SettingRefusal refusal = formants::RefusedSetting(settings, nRate))
        throw py::value_error(ArgumentName(refusal.szSetting) + ": " + refusal.strWhy);
}

} // namespace

py::tuple Formants(const py::handle& arg, const py::handle& maxFormant, int nCount, double dStepS, int nChannel)
{
    formants::FormantSettings settings;
    settings.nFormants = nCount;
    settings.dStepS = dStepS;
    if (!maxFormant.is_none()
        && (py::isinstance<py::str>(maxFormant) || py::isinstance<py::bytes>(maxFormant)
            || !PyNumber_Check(maxFormant.ptr())))
        throw py::type_error("max_formant must be a number of Hz or None");
    if (!maxFormant.is_none()) {
        settings.dCeilingHz = PyFloat_AsDouble(maxFormant.ptr());
        if (settings.dCeilingHz == -1.0 && PyErr_Occurred())
            throw py::error_already_set();
    }
    CheckFormantSettings(settings, 0);
    formants::FormantFrames frames;
    std::string strPath;
    const analysis::SoundOutcome outcome = AnalyseArgument(
        arg, nChannel,
        [&](const analysis::CSoundInput& input) { return formants::TrackSound(input, settings, 0, frames); }, strPath);
    // A ceiling above half this sound's rate is the setting's refusal.
    if (outcome.nOutcome == analysis::EOutcome::Refused && outcome.strWhy.empty())
        CheckFormantSettings(settings, outcome.nRate);
    if (!outcome.Done())
        RaiseOutcome(outcome, formants::kFormantWords, strPath);
    const size_t nFrames = frames.time_s.size();
    const auto Table = [&](std::vector<double>&& values) {
        return ArrayFromVector(std::move(values)).attr("reshape")(nFrames, nCount);
    };
    return py::make_tuple(ArrayFromVector(std::move(frames.time_s)), Table(std::move(frames.hz)),
                          Table(std::move(frames.bandwidth_hz)), frames.dCeilingHz);
}

py::tuple Intensity(const py::handle& arg, double dFloorHz, double dStepS, int nChannel)
{
    intensity::IntensitySettings settings;
    settings.dFloorHz = dFloorHz;
    settings.dStepS = dStepS;
    if (const analysis::SettingRefusal refusal = intensity::RefusedSetting(settings))
        throw py::value_error(std::string(refusal.szSetting) + ": " + refusal.strWhy);
    intensity::IntensityFrames frames;
    std::string strPath;
    const analysis::SoundOutcome outcome = AnalyseArgument(
        arg, nChannel,
        [&](const analysis::CSoundInput& input) { return intensity::TrackSound(input, settings, 0, frames); },
        strPath);
    if (!outcome.Done())
        RaiseOutcome(outcome, intensity::kIntensityWords, strPath);
    return py::make_tuple(ArrayFromVector(std::move(frames.time_s)), ArrayFromVector(std::move(frames.db)));
}

} // namespace python
} // namespace sonavel
