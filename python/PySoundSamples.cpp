#include "python/PySoundSamples.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "common/OutputFile.h"
#include "player/audio/WaveWriter.h"
#include "python/Interpreter.h"
#include "python/SoundArguments.h"

namespace py = pybind11;

namespace sonavel {
namespace python {
namespace {

// A Sound's sizes are 32-bit bytes, as a pickled state's are.
constexpr size_t kMaxSamples = size_t(1) << 30;
// Beyond any sound card or file header in use, and far from int overflow.
constexpr long long kMaxRate = 5000000;

std::string TypeName(const py::handle& obj)
{
    return std::string(py::str(obj.get_type().attr("__name__")));
}

int RateOf(const py::handle& rate)
{
    long long nRate = 0;
    if (py::isinstance<py::bool_>(rate) || py::isinstance<py::str>(rate) || py::isinstance<py::bytes>(rate))
        throw py::type_error("sample_rate must be a whole number of Hz, not " + TypeName(rate));
    if (PyIndex_Check(rate.ptr())) {
        const py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(rate.ptr()));
        if (!index)
            throw py::error_already_set();
        int nOverflow = 0;
        nRate = PyLong_AsLongLongAndOverflow(index.ptr(), &nOverflow);
        if (nOverflow != 0)
            nRate = nOverflow > 0 ? kMaxRate + 1 : 0;
    } else if (PyFloat_Check(rate.ptr()) || py::hasattr(rate, "is_integer")) {
        const double d = py::reinterpret_borrow<py::object>(rate).cast<double>();
        if (!std::isfinite(d) || d != std::floor(d))
            throw py::value_error("sample_rate must be a whole number of Hz");
        nRate = d > double(kMaxRate) ? kMaxRate + 1 : static_cast<long long>(d);
    } else {
        throw py::type_error("sample_rate must be a whole number of Hz, not " + TypeName(rate));
    }
    if (nRate <= 0 || nRate > kMaxRate)
        throw py::value_error("sample_rate must lie between 1 and " + std::to_string(kMaxRate) + " Hz");
    return static_cast<int>(nRate);
}

CPySound SoundHolding(size_t nCount, int nRate)
{
    CPySound sound;
    sound.m_store.hSamples = CSampleBlock::Alloc(nCount * sizeof(int16_t));
    if (!sound.m_store.hSamples)
        throw std::bad_alloc();
    sound.m_store.sampleCount = static_cast<int32_t>(nCount);
    sound.m_store.byteLength = static_cast<int32_t>(nCount * sizeof(int16_t));
    sound.m_store.sampleRate = nRate;
    return sound;
}

int16_t FromUnit(double d)
{
    const double s = std::round(d * 32768.0); // halves away from zero
    return static_cast<int16_t>(s > 32767 ? 32767 : s < -32768 ? -32768 : s);
}

} // namespace

CPySound SoundFromSamples(const py::handle& samples, const py::handle& rate)
{
    const int nRate = RateOf(rate);
    const py::array array = py::module_::import("numpy").attr("asarray")(samples);
    const char kind = array.dtype().kind();
    if (kind != 'i' && kind != 'u' && kind != 'f')
        throw py::type_error("samples must be int16 or floating point in [-1, 1], not an array of "
                             + std::string(py::str(array.dtype())));
    if (array.ndim() != 1)
        throw py::value_error("samples must be one-dimensional (one channel), not of shape "
                              + std::string(py::str(py::tuple(array.attr("shape"))))
                              + "; take one channel, e.g. samples[:, 0]");
    const size_t nCount = static_cast<size_t>(array.shape(0));
    if (nCount == 0)
        throw py::value_error("samples: the array is empty");
    if (nCount >= kMaxSamples)
        throw py::value_error("samples: a Sound holds fewer than 2^30 samples");
    CPySound sound = SoundHolding(nCount, nRate);
    CSampleLock lock(sound.m_store.hSamples);
    auto* pTo = static_cast<int16_t*>(lock.Data());
    if (kind == 'f') {
        const auto values = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(array);
        const double* p = values.data();
        for (size_t i = 0; i < nCount; ++i) {
            if (!std::isfinite(p[i]))
                throw py::value_error("samples: NaN or infinity at index " + std::to_string(i));
            pTo[i] = FromUnit(p[i]);
        }
    } else {
        // Whole numbers are samples as they are: any integer type, so long as
        // every value is one (a wider type is never cut down silently).
        const py::int_ lowest = array.attr("min")(), highest = array.attr("max")();
        for (const py::int_& value : {lowest, highest})
            if (value < py::int_(-32768) || value > py::int_(32767))
                throw py::value_error("samples: " + std::string(py::str(py::object(value)))
                                      + " does not fit 16 bits (give floating point in [-1, 1] to have it scaled)");
        const auto values = py::array_t<int16_t, py::array::c_style | py::array::forcecast>::ensure(array);
        if (!values)
            throw py::error_already_set();
        std::memcpy(pTo, values.data(), nCount * sizeof(int16_t));
    }
    return sound;
}

py::array_t<double> ValuesOf(const CPySound& sound)
{
    const size_t nCount = sound.Samples();
    py::array_t<double> values(nCount);
    if (nCount == 0)
        return values;
    CSampleLock lock(sound.m_store.hSamples);
    const int16_t* p = lock.Samples();
    double* pTo = values.mutable_data();
    for (size_t i = 0; i < nCount; ++i)
        pTo[i] = p[i] / 32768.0;
    return values;
}

CPySound ExtractSpan(const CPySound& sound, double dStartS, const py::handle& end)
{
    double dEndS = std::numeric_limits<double>::infinity();
    if (!end.is_none()) {
        if (py::isinstance<py::str>(end) || py::isinstance<py::bytes>(end) || !PyNumber_Check(end.ptr()))
            throw py::type_error("end must be a number of seconds or None, not " + TypeName(end));
        dEndS = PyFloat_AsDouble(end.ptr());
        if (dEndS == -1.0 && PyErr_Occurred())
            throw py::error_already_set();
    }
    if (!(dStartS >= 0))
        throw py::value_error("start must be 0 s or later");
    if (!(dEndS > dStartS))
        throw py::value_error("end must lie after start");
    const int64_t nHeld = static_cast<int64_t>(sound.Samples());
    const auto [nFirst, nEnd] = audio::SamplesOfSpan(dStartS, dEndS, sound.m_store.sampleRate, nHeld);
    if (nFirst >= nEnd) {
        char szWhy[160];
        std::snprintf(szWhy, sizeof szWhy, "the span from %.6g s holds no sample of the sound's %.6g s", dStartS,
                      double(nHeld) / sound.m_store.sampleRate);
        throw py::value_error(szWhy);
    }
    CPySound span = SoundHolding(size_t(nEnd - nFirst), sound.m_store.sampleRate);
    span.m_strPath = sound.m_strPath;
    span.m_strReader = sound.m_strReader;
    span.m_nChannels = sound.m_nChannels;
    span.m_nChannel = sound.m_nChannel;
    CSampleLock from(sound.m_store.hSamples), to(span.m_store.hSamples);
    std::memcpy(to.Data(), from.Samples() + nFirst, size_t(nEnd - nFirst) * sizeof(int16_t));
    return span;
}

void SaveSound(const CPySound& sound, const py::handle& path)
{
    const std::string strPath = PathBytes(path);
    int nErrno = 0;
    bool bSaved = false;
    WithoutInterpreterLock([&] {
        CSampleLock lock(sound.m_store.hSamples);
        bSaved = audio::SaveWaveFile(strPath, lock.Samples(), int64_t(sound.Samples()), sound.m_store.sampleRate,
                                     nErrno);
    });
    if (!bSaved)
        RaiseSoundError(files::DescribeWriteFailure(strPath, nErrno), strPath, nErrno);
}

} // namespace python
} // namespace sonavel
