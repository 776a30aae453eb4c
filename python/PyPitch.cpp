#include "python/PyPitch.h"

#include <cmath>
#include <string>

#include "player/analysis/core/CSoundInput.h"
#include "player/analysis/pitch/PitchSettings.h"
#include "python/BlockArray.h"
#include "python/Interpreter.h"
#include "python/SoundArguments.h"

namespace py = pybind11;

namespace sonavel {
namespace python {
namespace {

// A setting given as a number (None: the tracker's own, 0 inside). Text is no
// number, even one that float() would read.
double SettingValue(const py::handle& value, const char* szName, const char* szUnit)
{
    if (value.is_none())
        return 0;
    if (py::isinstance<py::str>(value) || py::isinstance<py::bytes>(value) || !PyNumber_Check(value.ptr()))
        throw py::type_error(std::string(szName) + " must be a number of " + szUnit + " or None, not "
                             + std::string(py::str(value.get_type().attr("__name__"))));
    const double d = PyFloat_AsDouble(value.ptr());
    if (d == -1.0 && PyErr_Occurred())
        throw py::error_already_set();
    if (!std::isfinite(d) || d <= 0)
        throw py::value_error(std::string(szName) + ": must be a number of " + szUnit + " above 0");
    return d;
}

pitch::PitchSettings SettingsOf(const py::handle& tracker, const py::handle& floor, const py::handle& ceiling,
                                const py::handle& step)
{
    pitch::PitchSettings settings;
    if (!py::isinstance<py::str>(tracker))
        throw py::type_error("tracker must be a str: " + pitch::TrackerNames());
    const std::string strTracker = tracker.cast<std::string>();
    if (!pitch::TrackerFromName(strTracker, settings.tracker))
        throw py::value_error("tracker: unknown tracker '" + strTracker + "'; the trackers are "
                              + pitch::TrackerNames());
    settings.dFloorHz = SettingValue(floor, "floor", "Hz");
    settings.dCeilingHz = SettingValue(ceiling, "ceiling", "Hz");
    settings.dStepS = SettingValue(step, "step", "seconds");
    if (const analysis::SettingRefusal refusal = pitch::RefusedSetting(settings))
        throw py::value_error(std::string(refusal.szSetting) + ": " + refusal.strWhy);
    return settings;
}

} // namespace

py::tuple Pitch(const py::handle& arg, const py::handle& tracker, const py::handle& floor, const py::handle& ceiling,
                const py::handle& step, int nThreads, int nChannel)
{
    const pitch::PitchSettings settings = SettingsOf(tracker, floor, ceiling, step);
    if (nThreads < 0)
        throw py::value_error("threads must be 0 (one per core) or more");
    pitch::PitchFrames frames;
    std::string strPath;
    const analysis::SoundOutcome outcome = AnalyseArgument(
        arg, nChannel,
        [&](const analysis::CSoundInput& input) { return pitch::TrackSound(input, settings, nThreads, frames); },
        strPath);
    if (!outcome.Done())
        RaiseOutcome(outcome, pitch::kPitchWords, strPath);
    return py::make_tuple(ArrayFromVector(std::move(frames.time_s)), ArrayFromVector(std::move(frames.pitch_hz)),
                          ArrayFromVector(std::move(frames.confidence)));
}

} // namespace python
} // namespace sonavel
