// The compiled part of the "sonavel" package, sonavel._sonavel: the player's
// loading, pitch tracker and spectrogram, handed to Python as numpy arrays.
// Everything it computes is computed by the libraries the player and
// sonavel-analyze use; this file only converts arguments and results, and
// lets go of the interpreter's lock while the work runs. The public functions
// are Python functions in sonavel/__init__.py over the thin ones here, so they
// pickle by name and their signatures and documents live in one place.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <limits>
#include <string>

#include "common/ProgramVersion.h"
#include "player/analysis/AnalysisResource.h"
#include "player/analysis/CAnalysisModel.h"
#include "player/analysis/CSignalMath.h"
#include "player/analysis/CWaveFileSamples.h"
#include "player/analysis/PitchFrames.h"
#include "player/audio/SoundReaders.h"
#include "python/BlockArray.h"
#include "python/CPySound.h"
#include "python/GridBudget.h"
#include "python/Interpreter.h"

namespace py = pybind11;
using namespace py::literals;
using namespace sonavel::python;

namespace {

const int kDefaultWidth = sonavel::DluToPixelsX(sonavel::ANALYSIS_DLG_WIDTH_DLU);
const int kDefaultHeight = sonavel::DluToPixelsY(sonavel::ANALYSIS_DLG_HEIGHT_DLU);

bool IsPath(const py::handle& arg)
{
    return py::isinstance<py::str>(arg) || py::isinstance<py::bytes>(arg) || py::hasattr(arg, "__fspath__");
}

// A path as the file system's bytes: str, bytes or os.PathLike, as open() takes them.
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

// Loads as the command line loads: a sound without a sample rate is refused
// too, so every Sound has a time axis.
CPySound Load(const std::string& path)
{
    CPySound sound;
    sonavel::audio::CLoadResult result;
    WithoutInterpreterLock([&] { result = sonavel::audio::LoadSoundForAnalysis(path, sound.m_store); });
    if (!result.Loaded())
        RaiseSoundError(sonavel::audio::DescribeLoadFailure(result, path), path, result.nErrno);
    sound.m_strPath = path;
    sound.m_strReader = result.strReader;
    return sound;
}

// The sound an argument names: a Sound as it is, a path loaded now.
CPySound SoundOf(const py::handle& arg)
{
    if (py::isinstance<CPySound>(arg))
        return SoundContents(arg);
    if (!IsPath(arg))
        throw py::type_error("expected a sonavel.Sound or a path (str, bytes or os.PathLike), not "
                             + std::string(py::str(arg.get_type().attr("__name__"))));
    return Load(PathBytes(arg));
}

py::array_t<double> FrameTimes(size_t nFrames, int nRate)
{
    py::array_t<double> times(nFrames);
    double* pTimes = times.mutable_data();
    WithoutInterpreterLock([&] {
        for (size_t i = 0; i < nFrames; ++i)
            pTimes[i] = sonavel::pitch::FrameTime(i, nRate);
    });
    return times;
}

py::tuple Pitch(const py::handle& arg, int nThreads)
{
    if (nThreads < 0)
        throw py::value_error("threads must be 0 (one per core) or more");
    // A path to a mono 16-bit WAV is tracked from the file, as the command line
    // tracks it: the same values, without faulting in a store for the whole sound.
    if (!py::isinstance<CPySound>(arg) && IsPath(arg)) {
        const std::string strPath = PathBytes(arg);
        CSampleBlockHandle hPitch;
        int nCount = 0, nRate = 0;
        bool bTracked = false;
        WithoutInterpreterLock(
            [&] { bTracked = sonavel::analysis::TrackWaveFile(strPath, nThreads, hPitch, nCount, nRate); });
        if (bTracked) {
            const size_t nFrames = sonavel::pitch::FrameCount(nCount);
            return py::make_tuple(FrameTimes(nFrames, nRate), ArrayOverBlock<int16_t>(hPitch, nFrames, true));
        }
        // Any other file, or one cut short meanwhile: loaded, with the loader's outcome.
    }
    const CPySound sound = SoundOf(arg);
    const SampleStore& store = sound.m_store;
    const size_t nFrames = sonavel::pitch::FrameCount(store.sampleCount);
    CSampleBlockHandle hPitch = CSampleBlock::Alloc(nFrames * sizeof(int16_t));
    int nResult = -1;
    WithoutInterpreterLock([&] {
        if (hPitch) {
            CSignalMath math;
            math.SetThreads(nThreads);
            nResult = math.TrackPitch(store, hPitch, 0, store.sampleCount);
        }
    });
    if (nResult != 0)
        RaiseMemoryError(sound.m_strPath + ": not enough memory to track the pitch");
    return py::make_tuple(FrameTimes(nFrames, store.sampleRate), ArrayOverBlock<int16_t>(hPitch, nFrames, true));
}

py::array_t<double> Spectrogram(const py::handle& arg, int nWidth, int nHeight)
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
                      "a spectrogram of " + std::to_string(nWidth) + " x " + std::to_string(nHeight) + " pixels");
    const CPySound sound = SoundOf(arg);
    int nResult = 0;
    WithoutInterpreterLock([&] { nResult = model.ComputeSpectrogram(sound.m_store); });
    if (nResult != 0)
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

} // namespace

PYBIND11_MODULE(_sonavel, m)
{
    m.doc() = "The compiled part of the sonavel package; use the package's own functions.";
    m.attr("__version__") = PROGRAM_VERSION;
    m.attr("WINDOW_WIDTH") = kDefaultWidth;
    m.attr("WINDOW_HEIGHT") = kDefaultHeight;
    m.attr("GRID_BUDGET_BYTES") = kGridBudgetBytes;
    // numpy's C interface is looked up once, behind a lock of the C++ runtime;
    // done here, under the import, so two threads' first calls cannot each wait
    // for what the other holds (the runtime's lock and the interpreter's).
    py::dtype::of<double>();

    py::options options;
    options.disable_function_signatures();

    // Every method looks inside through SoundContents, never through pybind11's
    // own cast, so a Sound made without contents raises instead of reading
    // memory that was never written.
    py::class_<CPySound>(m, "Sound",
                         "A loaded sound: one channel of signed 16-bit samples at one rate. Made by\n"
                         "sonavel.load(); pickles, so a worker process can send it back.")
        .def_property_readonly(
            "samples", [](const py::handle& self) { return SamplesOf(SoundContents(self)); },
            "The samples, a read-only one-dimensional numpy int16 array over the sound's\n"
            "own memory (no copy); it keeps that memory alive.")
        .def_property_readonly(
            "sample_rate", [](const py::handle& self) { return SoundContents(self).m_store.sampleRate; },
            "Samples per second, always positive.")
        .def_property_readonly(
            "duration",
            [](const py::handle& self) {
                const CPySound& s = SoundContents(self);
                return static_cast<double>(s.Samples()) / s.m_store.sampleRate;
            },
            "Length in seconds.")
        .def_property_readonly(
            "path", [](const py::handle& self) { return PathText(SoundContents(self).m_strPath); },
            "The path it was loaded from.")
        .def_property_readonly(
            "reader", [](const py::handle& self) { return SoundContents(self).m_strReader; },
            "The reader that took the file: wave, aiff, au, fixed-le, fixed-be or sndfile\n"
            "(FLAC, Ogg Vorbis, Opus, MP3, RF64, W64, CAF, NIST SPHERE and the WAV\n"
            "encodings the others leave).")
        .def("__repr__",
             [](const py::handle& self) {
                 const CPySound& s = SoundContents(self);
                 return "<sonavel.Sound " + std::string(py::repr(PathText(s.m_strPath))) + ", "
                     + std::to_string(s.Samples()) + " samples at " + std::to_string(s.m_store.sampleRate) + " Hz>";
             })
        .def(py::pickle([](const py::handle& self) { return SoundState(SoundContents(self)); }, &SoundFromState));

    m.def(
        "load", [](const py::handle& path) { return Load(PathBytes(path)); }, "path"_a, "load(path) -> Sound");
    m.def("pitch", &Pitch, "sound"_a, "threads"_a, "pitch(sound, threads) -> (time_s, pitch_hz)");
    m.def("spectrogram", &Spectrogram, "sound"_a, "width"_a, "height"_a,
          "spectrogram(sound, width, height) -> numpy float64 array (rows, columns)");
}
