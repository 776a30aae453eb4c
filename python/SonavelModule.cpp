// The compiled part of the "sonavel" package, sonavel._sonavel: the player's
// loading, pitch tracker, formants, intensity and spectrogram, handed to Python as numpy arrays.
// Everything it computes is computed by the libraries the player and
// sonavel-analyze use; the module only converts arguments and results, and
// lets go of the interpreter's lock while the work runs. This file defines the
// module and its Sound; loading, the pitch, the formants and intensity and the
// spectrograms have files of their own (SoundArguments, PyPitch, PyFormants,
// PySpectrogram). The public functions
// are Python functions in sonavel/__init__.py over the thin ones here, so they
// pickle by name and their signatures and documents live in one place.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <string>

#include "common/ProgramVersion.h"
#include "player/analysis/model/AnalysisResource.h"
#include "player/audio/SoundReaders.h"
#include "python/CPySound.h"
#include "python/GridBudget.h"
#include "python/Interpreter.h"
#include "python/PyFormants.h"
#include "python/PyPitch.h"
#include "python/PySlice.h"
#include "python/PySoundSamples.h"
#include "python/PySpectrogram.h"
#include "python/PyTable.h"
#include "python/PyVoice.h"
#include "python/SoundArguments.h"

namespace py = pybind11;
using namespace py::literals;
using namespace sonavel::python;

namespace {

const int kDefaultWidth = sonavel::DluToPixelsX(sonavel::ANALYSIS_DLG_WIDTH_DLU);
const int kDefaultHeight = sonavel::DluToPixelsY(sonavel::ANALYSIS_DLG_HEIGHT_DLU);

// Sound.reader's document: each reader of the table with the formats it takes.
const std::string& ReaderDoc()
{
    static const std::string s_strDoc = [] {
        std::string doc = "The reader that took the file:";
        for (const sonavel::audio::CSoundReaderEntry& entry : sonavel::audio::SoundReaderTable())
            doc += std::string(doc.back() == ':' ? " " : ", ") + entry.szName + " (" + entry.szFormats + ")";
        return doc + ".";
    }();
    return s_strDoc;
}

} // namespace

PYBIND11_MODULE(_sonavel, m)
{
    m.doc() = "The compiled part of the sonavel package; use the package's own functions.";
    m.attr("__version__") = PROGRAM_VERSION;
    m.attr("WINDOW_WIDTH") = kDefaultWidth;
    m.attr("WINDOW_HEIGHT") = kDefaultHeight;
    m.attr("GRID_BUDGET_BYTES") = kGridBudgetBytes;
    m.attr("FORMATS") = sonavel::audio::SoundFormatList();
    // numpy's C interface is looked up once, behind a lock of the C++ runtime;
    // done here, under the import, so two threads' first calls cannot each wait
    // for what the other holds (the runtime's lock and the interpreter's).
    py::dtype::of<double>();

    py::options options;
    options.disable_function_signatures();
    GuardBaseType();

    // Every method looks inside through SoundContents, never through pybind11's
    // own cast, so a Sound made without contents raises instead of reading
    // memory that was never written.
    py::class_<CPySound>(m, "Sound",
                         "A sound: one channel of signed 16-bit samples at one rate. Made by\n"
                         "sonavel.load() or from samples; pickles, so a worker process can send it back.")
        .def(py::init(&SoundFromSamples), "samples"_a, "sample_rate"_a,
             "Sound(samples, sample_rate)\n\n"
             "A Sound of samples in memory: a one-dimensional numpy array (or anything\n"
             "numpy.asarray takes) of int16, taken as it is (other integer types too, when\n"
             "every value fits 16 bits), or of floating point in [-1, 1], multiplied by\n"
             "32768, rounded to the nearest whole (halves away from zero) and clipped to\n"
             "-32768 .. 32767, so that sound.values gives such an array back exactly.\n"
             "sample_rate: samples per second, a whole number above 0. The samples are\n"
             "copied. Every analysis gives for it what it gives for a WAV file holding the\n"
             "same samples. Raises TypeError for another kind of array, ValueError for an\n"
             "empty one, one of several dimensions, NaN or infinity.")
        .def("__len__", [](const py::handle& self) { return SoundContents(self).Samples(); })
        .def_property_readonly(
            "values", [](const py::handle& self) { return ValuesOf(SoundContents(self)); },
            "The samples / 32768 as a numpy float64 array, from -1 up to just below 1: a\n"
            "new copy at each call, so changing it leaves the Sound as it is.")
        .def(
            "extract",
            [](const py::handle& self, double dStart, const py::handle& end) {
                return ExtractSpan(SoundContents(self), dStart, end);
            },
            "start"_a = 0.0, "end"_a = py::none(),
            "extract(start=0.0, end=None) -> Sound\n\n"
            "The samples from start to end (seconds, each rounded to the nearest sample;\n"
            "None: the sound's end, and an end past it stops there) as a new Sound, as\n"
            "sonavel-analyze extract takes them. ValueError for a span without a sample.")
        .def(
            "save", [](const py::handle& self, const py::handle& path) { SaveSound(SoundContents(self), path); },
            "path"_a,
            "save(path)\n\n"
            "Writes the Sound as a mono 16-bit WAV file, sample for sample, whole or not\n"
            "at all (on failure an earlier file at path stays as it was). Raises SoundError\n"
            "with the system's reason.")
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
            "path",
            [](const py::handle& self) -> py::object {
                const CPySound& s = SoundContents(self);
                return s.m_strPath.empty() ? py::object(py::none()) : py::object(PathText(s.m_strPath));
            },
            "The path it was loaded from; None for a Sound made from samples.")
        .def_property_readonly(
            "reader", [](const py::handle& self) { return SoundContents(self).m_strReader; },
            ReaderDoc().c_str())
        .def_property_readonly(
            "channels", [](const py::handle& self) { return SoundContents(self).m_nChannels; },
            "How many channels the file has.")
        .def_property_readonly(
            "channel", [](const py::handle& self) { return SoundContents(self).m_nChannel; },
            "The file's channel this Sound holds, 1 for the first.")
        .def("__repr__",
             [](const py::handle& self) {
                 const CPySound& s = SoundContents(self);
                 const std::string strChannel = s.m_nChannels > 1 ? ", channel " + std::to_string(s.m_nChannel) + " of "
                                                                        + std::to_string(s.m_nChannels)
                                                                  : std::string();
                 // A Sound made from samples has no path to name.
                 const std::string strFrom =
                     s.m_strPath.empty() ? std::string() : std::string(py::repr(PathText(s.m_strPath))) + strChannel + ", ";
                 return "<sonavel.Sound " + strFrom
                     + std::to_string(s.Samples()) + " samples at " + std::to_string(s.m_store.sampleRate) + " Hz>";
             })
        .def(py::pickle([](const py::handle& self) { return SoundState(SoundContents(self)); }, &SoundFromState))
        .def(
            "__reduce_ex__", [](const py::handle& self, const py::handle&) { return SoundReduction(self); },
            "protocol"_a);

    m.def(
        "load", [](const py::handle& path, int nChannel) { return LoadSound(PathBytes(path), nChannel); }, "path"_a,
        "channel"_a, "load(path, channel) -> Sound");
    m.def("pitch", &Pitch, "sound"_a, "tracker"_a, "floor"_a, "ceiling"_a, "step"_a, "threads"_a, "channel"_a,
          "pitch(sound, tracker, floor, ceiling, step, threads, channel) -> (time_s, pitch_hz, confidence)");
    m.def("formants", &Formants, "sound"_a, "max_formant"_a, "count"_a, "step"_a, "channel"_a,
          "formants(sound, max_formant, count, step, channel) -> (time_s, frequency_hz, bandwidth_hz)");
    m.def("intensity", &Intensity, "sound"_a, "floor"_a, "step"_a, "channel"_a,
          "intensity(sound, floor, step, channel) -> (time_s, db)");
    m.def("spectrum", &Spectrum, "sound"_a, "at"_a, "window"_a, "channel"_a,
          "spectrum(sound, at, window, channel) -> (frequency_hz, db, lpc_db, peaks_hz, lpc_peaks_hz, max_formant_hz)");
    m.def("spectrogram", &Spectrogram, "sound"_a, "window_length"_a, "max_frequency"_a, "time_step"_a,
          "dynamic_range"_a, "threads"_a, "channel"_a,
          "spectrogram(sound, window_length, max_frequency, time_step, dynamic_range, threads, channel)"
          " -> (db, time_s, frequency_hz)");
    m.def("analysis_window_grid", &AnalysisWindowGrid, "sound"_a, "width"_a, "height"_a, "channel"_a,
          "analysis_window_grid(sound, width, height, channel) -> numpy float64 array (rows, columns)");
    m.def("read_textgrid", &ReadGrid, "path"_a, "read_textgrid(path) -> (start_s, end_s, tiers)");
    m.def("write_textgrid", &WriteGrid, "textgrid"_a, "path"_a, "write_textgrid(textgrid, path)");
    m.def("measure", &MeasureTable, "sound"_a, "textgrid"_a, "tier"_a,
          "measure(sound, textgrid, tier) -> (tiers, labels, [start_s, end_s, f0 mean, min, max, f1, f2, f3, dB])");
    AddVoice(m);
}
