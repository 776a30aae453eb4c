#include "python/CPySound.h"

#include <cstring>
#include <limits>
#include <new>

#include "python/BlockArray.h"

namespace py = pybind11;

namespace sonavel {
namespace python {

const CPySound& SoundContents(const py::handle& obj)
{
    if (!py::isinstance<CPySound>(obj))
        throw py::type_error("expected a sonavel.Sound, not " + std::string(py::str(obj.get_type().attr("__name__"))));
    // pybind11 would hand out (and even allocate) the value of a Sound whose
    // contents were never made; the holder says whether they were.
    auto* pInstance = reinterpret_cast<py::detail::instance*>(obj.ptr());
    const py::detail::value_and_holder vh =
        pInstance->get_value_and_holder(py::detail::get_type_info(typeid(CPySound)));
    if (!vh || !vh.holder_constructed())
        throw py::value_error("this sonavel.Sound holds no sound (made without sonavel.load() or a pickled state)");
    return *vh.value_ptr<CPySound>();
}

py::tuple SoundState(const CPySound& sound)
{
    CSampleLock lock(sound.m_store.hSamples);
    const char* p = static_cast<const char*>(lock.Data());
    return py::make_tuple(py::bytes(sound.m_strPath), sound.m_strReader, sound.m_store.sampleRate,
                          py::bytes(p ? p : "", sound.Samples() * sizeof(int16_t)), sound.m_nChannels,
                          sound.m_nChannel);
}

namespace {

// The constructor pybind11 gave its base type, called for every type that has a C++ class.
newfunc g_pfnBaseNew = nullptr;

PyObject* NewWithClass(PyTypeObject* pType, PyObject* pArgs, PyObject* pKwargs)
{
    // pybind11 would throw out of this C callback for such a type, which ends the process.
    if (py::detail::all_type_info(pType).empty()) {
        PyErr_Format(PyExc_TypeError, "cannot create '%s' instances", pType->tp_name);
        return nullptr;
    }
    return g_pfnBaseNew(pType, pArgs, pKwargs);
}

CPySound SoundFromCheckedState(const py::tuple& state)
{
    if (state.size() != 4 && state.size() != 6)
        throw py::value_error("a sonavel.Sound state has 6 items (or 4)");
    const int nChannels = state.size() == 6 ? state[4].cast<int>() : 1;
    const int nChannel = state.size() == 6 ? state[5].cast<int>() : 1;
    if (nChannel < 1 || nChannel > nChannels)
        throw py::value_error("a sonavel.Sound state holds one of its file's channels");
    const std::string samples = state[3].cast<std::string>();
    const int nRate = state[2].cast<int>();
    if (nRate <= 0)
        throw py::value_error("a sonavel.Sound state needs a positive sample rate");
    if (samples.size() % sizeof(int16_t) != 0
        || samples.size() / sizeof(int16_t) > static_cast<size_t>(std::numeric_limits<int32_t>::max() / 2))
        throw py::value_error("a sonavel.Sound state holds whole 16-bit samples, fewer than 2^30");
    CPySound sound;
    sound.m_strPath = state[0].cast<std::string>();
    sound.m_strReader = state[1].cast<std::string>();
    sound.m_nChannels = nChannels;
    sound.m_nChannel = nChannel;
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

void GuardBaseType()
{
    auto* pBase = reinterpret_cast<PyTypeObject*>(py::detail::get_internals().instance_base);
    // The module imported again (by another interpreter of the process) finds it guarded.
    if (pBase->tp_new != NewWithClass) {
        g_pfnBaseNew = pBase->tp_new;
        pBase->tp_new = NewWithClass;
        PyType_Modified(pBase);
    }
}

py::object SoundReduction(const py::handle& self)
{
    SoundContents(self); // a Sound, and one that holds a sound
    return py::module_::import("builtins").attr("object").attr("__reduce_ex__")(self, 2);
}

CPySound SoundFromState(const py::tuple& state)
{
    try {
        return SoundFromCheckedState(state);
    } catch (const py::cast_error&) {
        throw py::type_error("a sonavel.Sound state holds (bytes, str, int, bytes, int, int)");
    }
}

py::array_t<int16_t> SamplesOf(const CPySound& sound)
{
    return ArrayOverBlock<int16_t>(sound.m_store.hSamples, sound.Samples(), false);
}

} // namespace python
} // namespace sonavel
