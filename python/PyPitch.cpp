#include "python/PyPitch.h"

#include <cmath>
#include <string>

#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/core/CSoundInput.h"
#include "player/analysis/pitch/PitchSettings.h"
#include "python/BlockArray.h"
#include "python/Interpreter.h"
#include "player/audio/SoundReaders.h"
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

// The failure of a track as the command line words it for the file.
[[noreturn]] void RaiseTrackFailure(const analysis::SoundOutcome& outcome, const std::string& strPath,
                                    const pitch::PitchSettings& settings)
{
    switch (outcome.nOutcome) {
    case analysis::EOutcome::NotLoaded:
        RaiseSoundError(audio::DescribeLoadFailure(outcome.load, strPath), strPath, outcome.load.nErrno);
    case analysis::EOutcome::NoMemory:
        RaiseMemoryError(strPath + ": not enough memory to track the pitch");
    case analysis::EOutcome::RangeUnfit:
        RaiseSoundError(strPath + ": " + pitch::RateMismatch(settings, outcome.nRate), strPath);
    case analysis::EOutcome::Done:
    case analysis::EOutcome::SourceFailed:
    case analysis::EOutcome::Refused:
        break;
    }
    RaiseSoundError(strPath + ": the pitch cannot be tracked", strPath);
}

} // namespace

py::tuple Pitch(const py::handle& arg, const py::handle& tracker, const py::handle& floor, const py::handle& ceiling,
                const py::handle& step, int nThreads, int nChannel)
{
    const pitch::PitchSettings settings = SettingsOf(tracker, floor, ceiling, step);
    if (nThreads < 0)
        throw py::value_error("threads must be 0 (one per core) or more");
    pitch::PitchFrames frames;
    analysis::SoundOutcome outcome;
    std::string strPath;
    // A path goes through the one entry, as the command line's does: a mono
    // 16-bit WAV straight from its file, any other sound loaded meanwhile.
    if (!py::isinstance<CPySound>(arg) && IsPath(arg)) {
        if (nChannel < 1)
            throw py::value_error("channel must be 1 (the first) or more");
        strPath = PathBytes(arg);
        WithoutInterpreterLock([&] {
            outcome = pitch::TrackSound(analysis::CSoundInput::File(strPath, nChannel), settings, nThreads, frames);
        });
    } else {
        const CPySound sound = SoundOf(arg, nChannel);
        strPath = sound.m_strPath;
        WithoutInterpreterLock([&] {
            CSampleLock lock(sound.m_store.hSamples);
            const int nHeld = static_cast<int>(sound.Samples());
            const CMemorySamples samples(nHeld > 0 ? lock.Samples() : nullptr, nHeld);
            outcome = pitch::TrackSound(analysis::CSoundInput::Samples(samples, nHeld, sound.m_store.sampleRate),
                                        settings, nThreads, frames);
        });
    }
    if (!outcome.Done())
        RaiseTrackFailure(outcome, strPath, settings);
    return py::make_tuple(ArrayFromVector(std::move(frames.time_s)), ArrayFromVector(std::move(frames.pitch_hz)),
                          ArrayFromVector(std::move(frames.confidence)));
}

} // namespace python
} // namespace sonavel
