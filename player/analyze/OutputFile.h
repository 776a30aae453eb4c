#pragma once
// Writing one command's output: to standard output, or as every user's file is
// written (common/OutputFile.h: a new file in the output's folder renamed over
// it once whole, a device or a FIFO in place), so an interrupted run leaves no
// half file. While the new file exists its name is in PartialName()'s buffer,
// where a signal (or a batch's parent, FileBatch.h) finds it.
//
// The command's main thread: the partial name's buffer is the process's (or the batch
// slot's), read by the signal handlers.
#include <cstddef>
#include <functional>
#include <string>

namespace sonavel {
namespace analyze {

using WriteFn = bool (*)(void* pContext, const char* p, size_t n);

// Room for the name of an output's temporary file, with its terminator.
constexpr std::size_t kPartialNameSize = 4096;

// The buffer (kPartialNameSize) the output's temporary file keeps its name in
// while it exists: the process's own, or a batch worker's slot of the batch's
// shared page once SetPartialName gave it.
char* PartialName();
void SetPartialName(char* szBuffer);

// SIGINT, SIGTERM and SIGHUP remove the temporary file of the output being
// written, after pfnFirst(nSignal) when given (a batch's parent ends its
// workers first), and end the process as the signal would have.
void InstallSignalHandlers(void (*pfnFirst)(int nSignal) = nullptr);

// fnText writes the whole text through the pfnWrite and pContext it is given,
// false when a write failed. strOut empty: standard output. False after one
// line on stderr.
bool WriteOutput(const std::string& strOut, const std::function<bool(WriteFn pfnWrite, void* pContext)>& fnText);

} // namespace analyze
} // namespace sonavel
