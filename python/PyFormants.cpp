#include "python/PyFormants.h"

#include <string>

#include "player/analysis/formants/FormantTrack.h"
#include "player/analysis/intensity/IntensityTrack.h"
#include "python/BlockArray.h"
#include "python/Interpreter.h"
#include "python/PyTrackSource.h"

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

// A failure other than a refused setting, worded as the command line words it.
[[noreturn]] void RaiseFailure(pitch::ETrackResult nResult, const std::string& strPath, int nRate, int nMaxRate,
                               const char* szWhat, const char* szFailed)
{
    if (nResult == pitch::TRACK_NO_MEMORY)
        RaiseMemoryError(strPath + ": not enough memory to " + szWhat);
    if (nRate > nMaxRate)
        RaiseSoundError(strPath + ": a sample rate above " + std::to_string(nMaxRate) + " Hz is not analysed",
                        strPath);
    RaiseSoundError(strPath + ": " + szFailed, strPath);
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
    int nRate = 0;
    const pitch::ETrackResult nResult = TrackOver(
        arg, nChannel,
        [&](const CSampleSource& source, int nSamples, int nSourceRate) {
            return formants::TrackFormants(settings, source, nSamples, nSourceRate, 0, frames);
        },
        strPath, nRate);
    if (nResult == pitch::TRACK_REFUSED && nRate <= formants::kMaxRateHz)
        CheckFormantSettings(settings, nRate);
    if (nResult != pitch::TRACK_DONE)
        RaiseFailure(nResult, strPath, nRate, formants::kMaxRateHz, "find the formants",
                     "the formants cannot be found");
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
    int nRate = 0;
    const pitch::ETrackResult nResult = TrackOver(
        arg, nChannel,
        [&](const CSampleSource& source, int nSamples, int nSourceRate) {
            return intensity::TrackIntensity(settings, source, nSamples, nSourceRate, 0, frames);
        },
        strPath, nRate);
    if (nResult != pitch::TRACK_DONE)
        RaiseFailure(nResult, strPath, nRate, intensity::kMaxRateHz, "measure the intensity",
                     "the intensity cannot be measured");
    return py::make_tuple(ArrayFromVector(std::move(frames.time_s)), ArrayFromVector(std::move(frames.db)));
}

} // namespace python
} // namespace sonavel
