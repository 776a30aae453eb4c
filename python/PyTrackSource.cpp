#include "python/PyTrackSource.h"

#include "player/analysis/core/CSampleSource.h"
#include "player/analysis/core/CWaveFileSamples.h"
#include "python/Interpreter.h"
#include "python/SoundArguments.h"

namespace py = pybind11;

namespace sonavel {
namespace python {

pitch::ETrackResult TrackOver(const py::handle& arg, int nChannel, const TrackFn& fnTrack, std::string& strPath,
                              int& nRate)
{
    pitch::ETrackResult nResult = pitch::TRACK_SOURCE_FAILED;
    // Only a file's first channel is read straight from it: whether a file has
    // another is the loader's to say.
    if (!py::isinstance<CPySound>(arg) && IsPath(arg) && nChannel == 1) {
        strPath = PathBytes(arg);
        WithoutInterpreterLock([&] {
            analysis::CWaveFileSamples file;
            if (file.Open(strPath)) {
                nRate = file.Rate();
                nResult = fnTrack(file, file.Count(), file.Rate());
            }
        });
    }
    // Any other file, or one cut short meanwhile, is loaded, with the loader's outcome.
    if (nResult == pitch::TRACK_SOURCE_FAILED) {
        const CPySound sound = SoundOf(arg, nChannel);
        strPath = sound.m_strPath;
        nRate = sound.m_store.sampleRate;
        WithoutInterpreterLock([&] {
            CSampleLock lock(sound.m_store.hSamples);
            const int nHeld = static_cast<int>(sound.Samples());
            const CMemorySamples samples(nHeld > 0 ? lock.Samples() : nullptr, nHeld);
            nResult = fnTrack(samples, nHeld, nRate);
        });
    }
    return nResult;
}

} // namespace python
} // namespace sonavel
