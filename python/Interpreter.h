#pragma once
// The module's dealings with the interpreter itself: letting go of its lock
// while the work runs, and raising the package's own errors.
#include <pybind11/pybind11.h>

#include <cxxabi.h>
#include <exception>
#include <string>

namespace sonavel {
namespace python {

// Takes the interpreter's lock back after WithoutInterpreterLock's work. Once
// the interpreter has begun to shut down, the lock is never handed back: the
// interpreter ends such a thread with pthread_exit, whose unwinding through
// C++ frames (pybind11's noexcept gil_scoped_release among them) aborts the
// whole process. A thread that comes back then stays here instead, holding
// nothing, until the process ends with the status its main thread gives.
void TakeInterpreterLockBack(PyThreadState* pState);

// Runs fnWork without the interpreter's lock, so other Python threads run
// meanwhile; fnWork must not touch a Python object. An exception fnWork
// throws is thrown again once the lock is held.
template <typename Fn>
void WithoutInterpreterLock(Fn&& fnWork)
{
    PyThreadState* pState = PyEval_SaveThread();
    std::exception_ptr pError;
    try {
        fnWork();
    } catch (abi::__forced_unwind&) {
        throw;
    } catch (...) {
        pError = std::current_exception();
    }
    TakeInterpreterLockBack(pState);
    if (pError)
        std::rethrow_exception(pError);
}

// Raises the package's SoundError (sonavel.SoundFileNotFoundError when nErrno
// is ENOENT) about the file at strPath, with the command line's line as its
// text; errno and strerror are set when nErrno is not 0. strMessage and
// strPath are the file system's bytes.
[[noreturn]] void RaiseSoundError(const std::string& strMessage, const std::string& strPath, int nErrno = 0);

// MemoryError with a message that may carry a path's bytes.
[[noreturn]] void RaiseMemoryError(const std::string& strMessage);

// The file system's bytes as the str Python gives for them (os.fsdecode).
pybind11::str PathText(const std::string& bytes);

} // namespace python
} // namespace sonavel
