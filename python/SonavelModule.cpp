// The "sonavel" Python module: the player's loading, pitch tracker and
// spectrogram, handed to Python as numpy arrays. Everything it computes is
// computed by the libraries the player and sonavel-analyze use; this file only
// converts arguments and results, and lets go of the interpreter's lock while
// the work runs.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "player/analysis/AnalysisResource.h"
#include "player/analysis/CAnalysisModel.h"
#include "player/analysis/CWaveFileSamples.h"
#include "player/analysis/CSignalMath.h"
#include "player/analysis/PitchFrames.h"
#include "player/audio/SoundReaders.h"

namespace py = pybind11;
using namespace py::literals;

namespace {

// A loaded sound. The store shares its block with every samples array made
// from it, so the array outlives the Sound if need be.
struct CPySound {
    SampleStore m_store;
    std::string m_strPath; // the file system's bytes, as given
    std::string m_strReader;

    // Samples the block really holds, whatever the count claims.
    size_t Samples() const
    {
        if (!m_store.hSamples || m_store.sampleCount <= 0)
            return 0;
        return std::min(m_store.hSamples->Size() / sizeof(int16_t), static_cast<size_t>(m_store.sampleCount));
    }
};

const int kDefaultWidth = sonavel::DluToPixelsX(sonavel::ANALYSIS_DLG_WIDTH_DLU);
const int kDefaultHeight = sonavel::DluToPixelsY(sonavel::ANALYSIS_DLG_HEIGHT_DLU);

PyObject* g_pSoundError = nullptr; // sonavel.SoundError, alive as long as the process

// Messages carry paths, which are bytes: decoded as the file system's names are,
// so a name that is not UTF-8 still reads back as the same bytes (os.fsencode).
[[noreturn]] void Raise(PyObject* pType, const std::string& strMessage)
{
    PyObject* pText = PyUnicode_DecodeFSDefaultAndSize(strMessage.data(), static_cast<Py_ssize_t>(strMessage.size()));
    if (pText) {
        PyErr_SetObject(pType, pText);
        Py_DECREF(pText);
    }
    throw py::error_already_set();
}

// A path as the file system's bytes: str, bytes or os.PathLike, as open() takes them.
std::string PathBytes(const py::handle& path, const char* szWhat)
{
    py::object bytes;
    try {
        bytes = py::module_::import("os").attr("fsencode")(path);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_TypeError))
            throw;
        throw py::type_error(std::string(szWhat) + " must be a path (str, bytes or os.PathLike), not "
                             + std::string(py::str(path.get_type().attr("__name__"))));
    }
    std::string s = bytes.cast<std::string>();
    // The C library would stop at the null and open another file.
    if (s.find('\0') != std::string::npos)
        throw py::value_error("embedded null byte in the path");
    return s;
}

py::str PathText(const std::string& bytes)
{
    return py::module_::import("os").attr("fsdecode")(py::bytes(bytes));
}

CPySound Load(const std::string& path)
{
    CPySound sound;
    sonavel::audio::CLoadResult result;
    {
        py::gil_scoped_release nogil;
        result = sonavel::audio::LoadSoundFile(path, sound.m_store);
    }
    if (!result.Loaded())
        Raise(g_pSoundError, sonavel::audio::DescribeLoadFailure(result, path));
    sound.m_strPath = path;
    sound.m_strReader = result.strReader;
    return sound;
}

// The sound an argument names: a Sound as it is, a path loaded now.
CPySound SoundOf(const py::handle& arg)
{
    if (py::isinstance<CPySound>(arg))
        return arg.cast<const CPySound&>();
    if (!py::isinstance<py::str>(arg) && !py::isinstance<py::bytes>(arg) && !py::hasattr(arg, "__fspath__"))
        throw py::type_error("expected a sonavel.Sound or a path (str, bytes or os.PathLike), not "
                             + std::string(py::str(arg.get_type().attr("__name__"))));
    return Load(PathBytes(arg, "path"));
}

// A numpy array over a block, no copy: the capsule holds a share of the block,
// locked, until numpy lets the array go.
template <typename T>
py::array_t<T> ArrayOverBlock(const CSampleBlockHandle& hBlock, size_t nCount, bool bWritable)
{
    if (!hBlock || nCount == 0)
        return py::array_t<T>(0);
    auto* pLock = new CSampleLock(hBlock);
    py::capsule owner(pLock, [](void* p) { delete static_cast<CSampleLock*>(p); });
    py::array_t<T> array({nCount}, {sizeof(T)}, static_cast<const T*>(pLock->Data()), owner);
    if (!bWritable)
        array.attr("setflags")("write"_a = false);
    return array;
}

py::array_t<int16_t> SamplesOf(const CPySound& s)
{
    return ArrayOverBlock<int16_t>(s.m_store.hSamples, s.Samples(), false);
}

py::tuple Pitch(const py::handle& arg, int nThreads)
{
    if (nThreads < 0)
        throw py::value_error("threads must be 0 (one per core) or more");
    // A path to a mono 16-bit WAV is tracked from the file, as the command line
    // tracks it: the same values, without faulting in a store for the whole sound.
    if (!py::isinstance<CPySound>(arg) && (py::isinstance<py::str>(arg) || py::isinstance<py::bytes>(arg)
                                           || py::hasattr(arg, "__fspath__"))) {
        const std::string strPath = PathBytes(arg, "path");
        CSampleBlockHandle hPitch;
        int nCount = 0, nRate = 0;
        bool bTracked;
        {
            py::gil_scoped_release nogil;
            bTracked = sonavel::analysis::TrackWaveFile(strPath, nThreads, hPitch, nCount, nRate);
        }
        if (bTracked) {
            const size_t nFrames = sonavel::pitch::FrameCount(nCount);
            py::array_t<double> times(nFrames);
            double* pTimes = times.mutable_data();
            for (size_t i = 0; i < nFrames; ++i)
                pTimes[i] = sonavel::pitch::FrameTime(i, nRate);
            return py::make_tuple(times, ArrayOverBlock<int16_t>(hPitch, nFrames, true));
        }
        // Any other file, or one cut short meanwhile: loaded, with the loader's outcome.
    }
    const CPySound sound = SoundOf(arg);
    const SampleStore& store = sound.m_store;
    if (store.sampleRate <= 0)
        Raise(g_pSoundError, sound.m_strPath + ": the sound has no sample rate, so no time axis");

    const size_t nFrames = sonavel::pitch::FrameCount(store.sampleCount);
    CSampleBlockHandle hPitch = CSampleBlock::Alloc(nFrames * sizeof(int16_t));
    py::array_t<double> times(nFrames);
    double* pTimes = times.mutable_data();
    int nResult = -1;
    {
        py::gil_scoped_release nogil;
        if (hPitch) {
            CSignalMath math;
            math.SetThreads(nThreads);
            nResult = math.TrackPitch(store, hPitch, 0, store.sampleCount);
        }
        for (size_t i = 0; i < nFrames; ++i)
            pTimes[i] = sonavel::pitch::FrameTime(i, store.sampleRate);
    }
    if (nResult != 0)
        Raise(PyExc_MemoryError, sound.m_strPath + ": not enough memory to track the pitch");
    return py::make_tuple(times, ArrayOverBlock<int16_t>(hPitch, nFrames, true));
}

py::array_t<double> Spectrogram(const py::handle& arg, int nWidth, int nHeight)
{
    const int nMaxColumns = CAnalysisModel::kMaxColumns;
    if (nWidth < 1 || nWidth > nMaxColumns)
        throw py::value_error("width must be 1 to " + std::to_string(nMaxColumns) + " pixels");
    // The model counts a column's values in int: far beyond any window, not past that.
    if (nHeight > std::numeric_limits<int>::max() / 2)
        throw py::value_error("height must be at most " + std::to_string(std::numeric_limits<int>::max() / 2));
    CAnalysisModel model;
    model.Layout(nWidth, nHeight);
    if (model.Rows() < 1)
        throw py::value_error("height must be more than " + std::to_string(nHeight - model.Rows())
                              + " pixels (the text strip below the panels)");
    const CPySound sound = SoundOf(arg);
    int nResult;
    {
        py::gil_scoped_release nogil;
        nResult = model.ComputeSpectrogram(sound.m_store);
    }
    if (nResult != 0)
        Raise(PyExc_MemoryError, sound.m_strPath + ": not enough memory for the spectrogram");
    const size_t nRows = static_cast<size_t>(model.Rows()), nColumns = static_cast<size_t>(model.Columns());
    py::array_t<double> grid({nRows, nColumns});
    double* pGrid = grid.mutable_data();
    {
        py::gil_scoped_release nogil;
        for (size_t c = 0; c < nColumns; ++c) {
            const double* pColumn = model.Column(static_cast<int>(c));
            for (size_t j = 0; j < nRows; ++j)
                pGrid[j * nColumns + c] = pColumn[j];
        }
    }
    return grid;
}

// Pickled as (path, reader, sample rate, samples as bytes): a worker process
// can send a Sound back whole.
py::tuple SoundState(const CPySound& s)
{
    CSampleLock lock(s.m_store.hSamples);
    const char* p = static_cast<const char*>(lock.Data());
    return py::make_tuple(py::bytes(s.m_strPath), s.m_strReader, s.m_store.sampleRate,
                          py::bytes(p ? p : "", s.Samples() * sizeof(int16_t)));
}

CPySound SoundFromState(const py::tuple& state)
{
    if (state.size() != 4)
        throw py::value_error("a sonavel.Sound state has 4 items");
    const std::string samples = state[3].cast<std::string>();
    const int nRate = state[2].cast<int>();
    if (samples.size() % sizeof(int16_t) != 0
        || samples.size() / sizeof(int16_t) > static_cast<size_t>(std::numeric_limits<int32_t>::max() / 2))
        throw py::value_error("a sonavel.Sound state holds whole 16-bit samples, fewer than 2^30");
    CPySound sound;
    sound.m_strPath = state[0].cast<std::string>();
    sound.m_strReader = state[1].cast<std::string>();
    const int nCount = static_cast<int>(samples.size() / sizeof(int16_t));
    if (nCount > 0) {
        sound.m_store.hSamples = CSampleBlock::Alloc(samples.size());
        if (!sound.m_store.hSamples)
            throw std::bad_alloc();
        CSampleLock lock(sound.m_store.hSamples);
        std::memcpy(lock.Data(), samples.data(), samples.size());
    }
    sound.m_store.sampleCount = nCount;
    sound.m_store.byteLength = static_cast<int32_t>(samples.size());
    sound.m_store.sampleRate = nRate;
    return sound;
}

} // namespace

PYBIND11_MODULE(sonavel, m)
{
    m.doc() = "Sonavel's loading, pitch tracker and spectrogram for Python.\n\n"
              "load(path) reads WAV, AIFF/AIFC, AU and fixed-header PCM files into one channel of\n"
              "16-bit samples; pitch() gives the track sonavel-analyze pitch prints, spectrogram()\n"
              "the grid the analysis window paints. A file that cannot be read raises SoundError.\n"
              "The interpreter's lock is released while a file loads and while a track or a\n"
              "spectrogram is computed, so other threads run meanwhile.";
    m.attr("__version__") = SONAVEL_VERSION;
    // Each docstring opens with its own signature, in Python's words rather than C++'s.
    py::options options;
    options.disable_function_signatures();

    g_pSoundError = PyErr_NewExceptionWithDoc(
        "sonavel.SoundError",
        "A sound file that cannot be read or analysed. The message is the line sonavel-analyze prints.",
        PyExc_OSError, nullptr);
    if (!g_pSoundError)
        throw py::error_already_set();
    m.add_object("SoundError", py::handle(g_pSoundError).inc_ref());

    py::class_<CPySound>(m, "Sound",
                         "A loaded sound: one channel of signed 16-bit samples at one rate. Made by load();\n"
                         "pickles, so a worker process can send it back.")
        .def_property_readonly("samples", &SamplesOf,
                               "The samples, a read-only one-dimensional numpy int16 array over the sound's\n"
                               "own memory (no copy); it keeps that memory alive.")
        .def_property_readonly(
            "sample_rate", [](const CPySound& s) { return s.m_store.sampleRate; }, "Samples per second.")
        .def_property_readonly(
            "duration",
            [](const CPySound& s) {
                return s.m_store.sampleRate > 0 ? static_cast<double>(s.Samples()) / s.m_store.sampleRate
                                                : std::numeric_limits<double>::quiet_NaN();
            },
            "Length in seconds (nan when the file gives no sample rate).")
        .def_property_readonly(
            "path", [](const CPySound& s) { return PathText(s.m_strPath); }, "The path it was loaded from.")
        .def_property_readonly(
            "reader", [](const CPySound& s) { return s.m_strReader; },
            "The reader that took the file: wave, aiff, au, fixed-le or fixed-be.")
        .def("__repr__",
             [](const CPySound& s) {
                 return "<sonavel.Sound " + std::string(py::repr(PathText(s.m_strPath))) + ", "
                     + std::to_string(s.Samples()) + " samples at " + std::to_string(s.m_store.sampleRate) + " Hz>";
             })
        .def(py::pickle(&SoundState, &SoundFromState));

    m.def(
        "load", [](const py::object& path) { return Load(PathBytes(path, "path")); }, "path"_a,
        "load(path) -> Sound\n\n"
        "Reads a sound file with the player's readers (the format is recognised by content).\n"
        "Raises SoundError with sonavel-analyze's message when the file cannot be read.");
    m.def("pitch", &Pitch, "sound"_a, py::kw_only(), "threads"_a = 0,
          "pitch(sound, *, threads=0) -> (time_s, pitch_hz)\n\n"
          "The pitch track of a Sound or of the file at a path: one frame per 100 samples,\n"
          "time_s (float64 seconds, the times sonavel-analyze pitch prints, before its rounding\n"
          "to six decimals) and pitch_hz (int16 whole hertz, 0 = no pitch). The values are the\n"
          "command line's. threads: how many threads the tracker may use (0: one per core);\n"
          "the track is the same whatever the count.");
    m.def("spectrogram", &Spectrogram, "sound"_a, "width"_a = kDefaultWidth, "height"_a = kDefaultHeight,
          "spectrogram(sound, width=487, height=284) -> numpy float64 array (rows, columns)\n\n"
          "The analysis window's spectrogram grid for a window client area of width x height\n"
          "pixels (its own size by default): one column per pixel of the width, height - 60\n"
          "rows from 0 Hz (row 0) up to 5000 Hz, in dB from 0 to 35 (35 is the loudest point).");
}
