#include "python/SoundArguments.h"

#include "player/audio/SoundReaders.h"
#include "python/Interpreter.h"

namespace py = pybind11;

namespace sonavel {
namespace python {

bool IsPath(const py::handle& arg)
{
    return py::isinstance<py::str>(arg) || py::isinstance<py::bytes>(arg) || py::hasattr(arg, "__fspath__");
}

std::string PathBytes(const py::handle& path)
{
    if (!IsPath(path))
        throw py::type_error("expected a path (str, bytes or os.PathLike), not "
                             + std::string(py::str(path.get_type().attr("__name__"))));
    std::string s = py::module_::import("os").attr("fsencode")(path).cast<std::string>();
    // The C library would stop at the null and open another file.
    if (s.find('\0') != std::string::npos)
        throw py::value_error("embedded null byte in the path");
    return s;
}

CPySound LoadSound(const std::string& path, int nChannel)
{
    if (nChannel < 1)
        throw py::value_error("channel must be 1 (the first) or more");
    CPySound sound;
    audio::CLoadResult result;
    WithoutInterpreterLock([&] { result = audio::LoadSoundForAnalysis(path, sound.m_store, nChannel); });
    if (!result.Loaded())
        RaiseSoundError(audio::DescribeLoadFailure(result, path), path, result.nErrno);
    sound.m_strPath = path;
    sound.m_strReader = result.strReader;
    sound.m_nChannels = result.nChannels;
    sound.m_nChannel = result.nChannel;
    return sound;
}

CPySound SoundOf(const py::handle& arg, int nChannel)
{
    if (py::isinstance<CPySound>(arg)) {
        const CPySound& sound = SoundContents(arg);
        if (nChannel != 1 && nChannel != sound.m_nChannel)
            throw py::value_error("channel " + std::to_string(nChannel) + " is for a path: this Sound holds channel "
                                  + std::to_string(sound.m_nChannel) + " (load the file with channel="
                                  + std::to_string(nChannel) + ")");
        return sound;
    }
    if (!IsPath(arg))
        throw py::type_error("expected a sonavel.Sound or a path (str, bytes or os.PathLike), not "
                             + std::string(py::str(arg.get_type().attr("__name__"))));
    return LoadSound(PathBytes(arg), nChannel);
}

analysis::SoundOutcome AnalyseArgument(const py::handle& arg, int nChannel, const DoorFn& fnDoor, std::string& strPath)
{
    analysis::SoundOutcome outcome;
    if (!py::isinstance<CPySound>(arg) && IsPath(arg)) {
        if (nChannel < 1)
            throw py::value_error("channel must be 1 (the first) or more");
        strPath = PathBytes(arg);
        WithoutInterpreterLock([&] { outcome = fnDoor(analysis::CSoundInput::File(strPath, nChannel)); });
        return outcome;
    }
    const CPySound sound = SoundOf(arg, nChannel);
    // A Sound made from samples is named as such in the messages.
    strPath = sound.m_strPath.empty() ? "sonavel.Sound" : sound.m_strPath;
    WithoutInterpreterLock([&] {
        CSampleLock lock(sound.m_store.hSamples);
        const int nHeld = static_cast<int>(sound.Samples());
        const CMemorySamples samples(nHeld > 0 ? lock.Samples() : nullptr, nHeld);
        outcome = fnDoor(analysis::CSoundInput::Samples(samples, nHeld, sound.m_store.sampleRate));
    });
    return outcome;
}

void RaiseOutcome(const analysis::SoundOutcome& outcome, const analysis::OutcomeWords& words, const std::string& strPath)
{
    const std::string strLine = analysis::DescribeOutcome(outcome, words, strPath);
    if (outcome.nOutcome == analysis::EOutcome::NotLoaded)
        RaiseSoundError(strLine, strPath, outcome.load.nErrno);
    if (outcome.nOutcome == analysis::EOutcome::NoMemory)
        RaiseMemoryError(strLine);
    RaiseSoundError(strLine, strPath);
}

} // namespace python
} // namespace sonavel
