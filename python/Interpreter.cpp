#include "python/Interpreter.h"

#include <unistd.h>

namespace py = pybind11;

namespace sonavel {
namespace python {
namespace {

bool IsFinalizing()
{
#if PY_VERSION_HEX >= 0x030D0000
    return Py_IsFinalizing();
#else
    return _Py_IsFinalizing();
#endif
}

[[noreturn]] void WaitForTheProcessToEnd()
{
    for (;;)
        ::pause();
}

py::str FsText(const std::string& bytes)
{
    PyObject* pText = PyUnicode_DecodeFSDefaultAndSize(bytes.data(), static_cast<Py_ssize_t>(bytes.size()));
    if (!pText)
        throw py::error_already_set();
    return py::reinterpret_steal<py::str>(pText);
}

} // namespace

void TakeInterpreterLockBack(PyThreadState* pState)
{
    if (IsFinalizing())
        WaitForTheProcessToEnd();
    // The shutdown may begin between the check and the call; its pthread_exit
    // then unwinds to here and the thread waits inside the handler, where the
    // unwinding never completes and so never reaches a frame that would abort.
    try {
        PyEval_RestoreThread(pState);
    } catch (abi::__forced_unwind&) {
        WaitForTheProcessToEnd();
    }
}

void RaiseSoundError(const std::string& strMessage, const std::string& strPath, int nErrno)
{
    // The package (sonavel/__init__.py) decides the class: it owns the Python
    // side of errors, such as which OSError subclass a missing file is.
    py::object error = py::module_::import("sonavel").attr("_sound_error")(
        FsText(strMessage), nErrno ? py::object(py::int_(nErrno)) : py::object(py::none()), PathText(strPath));
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
    throw py::error_already_set();
}

void RaiseMemoryError(const std::string& strMessage)
{
    PyErr_SetObject(PyExc_MemoryError, FsText(strMessage).ptr());
    throw py::error_already_set();
}

py::str PathText(const std::string& bytes) { return FsText(bytes); }

} // namespace python
} // namespace sonavel
