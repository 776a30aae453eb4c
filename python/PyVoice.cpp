#include "python/PyVoice.h"

#include <string>

#include "player/analysis/voice/VoiceReport.h"
#include "python/BlockArray.h"
#include "python/SoundArguments.h"

namespace py = pybind11;
using namespace py::literals;

namespace sonavel {
namespace python {
namespace {

// The settings of a call: start and end None or seconds, an end of None the
// sound's end; refused before any sound is read.
voice::VoiceSettings SettingsOf(const py::handle& start, const py::handle& end, double dFloorHz, double dCeilingHz)
{
    voice::VoiceSettings settings;
    settings.dFloorHz = dFloorHz;
    settings.dCeilingHz = dCeilingHz;
    if (!start.is_none())
        settings.dStartS = py::cast<double>(start);
    if (!end.is_none()) {
        settings.dEndS = py::cast<double>(end);
        // 0 would mean the sound's end to the report; here it is a time.
        if (!(settings.dEndS > settings.dStartS))
            throw py::value_error("end: must lie after the start");
    }
    if (const analysis::SettingRefusal refusal = voice::RefusedSetting(settings))
        throw py::value_error(std::string(refusal.szSetting) + ": " + refusal.strWhy);
    return settings;
}

// The report's door over the argument, raising what a failure says; the
// outcome's refusal of a span the sound does not hold is a ValueError.
template <class Door>
void Run(const py::handle& sound, int nChannel, Door fnDoor)
{
    std::string strPath;
    const analysis::SoundOutcome outcome = AnalyseArgument(sound, nChannel, fnDoor, strPath);
    if (outcome.nOutcome == analysis::EOutcome::Refused && !outcome.strWhy.empty())
        throw py::value_error(outcome.strWhy);
    if (!outcome.Done())
        RaiseOutcome(outcome, voice::kVoiceWords, strPath);
}

py::tuple Voice(const py::handle& sound, const py::handle& start, const py::handle& end, double dFloorHz,
                double dCeilingHz, int nChannel)
{
    const voice::VoiceSettings settings = SettingsOf(start, end, dFloorHz, dCeilingHz);
    voice::VoiceReport report;
    Run(sound, nChannel,
        [&](const analysis::CSoundInput& input) { return voice::ReportVoice(input, settings, 0, report); });
    py::list values;
    values.append(report.dStartS);
    values.append(report.dEndS);
    for (const voice::VoiceValue& v : voice::VoiceValues(report)) {
        if (!v.dValue)
            values.append(py::none());
        else if (v.bCount)
            values.append(py::int_(static_cast<long long>(*v.dValue)));
        else
            values.append(*v.dValue);
    }
    return py::tuple(values);
}

voice::VoiceTracks Tracks(const py::handle& sound, const py::handle& start, const py::handle& end, double dFloorHz,
                          double dCeilingHz, int nChannel, voice::EVoiceTracks what)
{
    const voice::VoiceSettings settings = SettingsOf(start, end, dFloorHz, dCeilingHz);
    voice::VoiceTracks tracks;
    Run(sound, nChannel,
        [&](const analysis::CSoundInput& input) { return voice::TrackVoice(input, settings, 0, what, tracks); });
    return tracks;
}

} // namespace

void AddVoice(py::module_& m)
{
    m.def("voice", &Voice, "sound"_a, "start"_a, "end"_a, "floor"_a, "ceiling"_a, "channel"_a,
          "voice(sound, start, end, floor, ceiling, channel) -> (start_s, end_s, f0_median_hz, ..., cpps_db)");
    m.def(
        "pulses",
        [](const py::handle& sound, const py::handle& start, const py::handle& end, double dFloorHz, double dCeilingHz,
           int nChannel) {
            voice::VoiceTracks t =
                Tracks(sound, start, end, dFloorHz, dCeilingHz, nChannel, voice::EVoiceTracks::Pulses);
            return ArrayFromVector(std::move(t.pulses.time_s));
        },
        "sound"_a, "start"_a, "end"_a, "floor"_a, "ceiling"_a, "channel"_a,
        "pulses(sound, start, end, floor, ceiling, channel) -> time_s");
    m.def(
        "harmonicity",
        [](const py::handle& sound, const py::handle& start, const py::handle& end, double dFloorHz, double dCeilingHz,
           int nChannel) {
            voice::VoiceTracks t =
                Tracks(sound, start, end, dFloorHz, dCeilingHz, nChannel, voice::EVoiceTracks::Harmonicity);
            return py::make_tuple(ArrayFromVector(std::move(t.harmonicity.time_s)),
                                  ArrayFromVector(std::move(t.harmonicity.db)));
        },
        "sound"_a, "start"_a, "end"_a, "floor"_a, "ceiling"_a, "channel"_a,
        "harmonicity(sound, start, end, floor, ceiling, channel) -> (time_s, db)");
}

} // namespace python
} // namespace sonavel
