#pragma once
// Writing one command's output: to standard output, or as every user's file is
// written (common/OutputFile.h: a new file in the output's folder renamed over
// it once whole, a device or a FIFO in place), so an interrupted run leaves no
// half file. While the new file exists its name is in PartialName()'s buffer
// (PitchBatch.h), where a signal or a batch's parent finds it.
#include <cstddef>
#include <functional>
#include <string>

namespace sonavel {
namespace analyze {

using WriteFn = bool (*)(void* pContext, const char* p, size_t n);

// fnText writes the whole text through the pfnWrite and pContext it is given,
// false when a write failed. strOut empty: standard output. False after one
// line on stderr.
bool WriteOutput(const std::string& strOut, const std::function<bool(WriteFn pfnWrite, void* pContext)>& fnText);

} // namespace analyze
} // namespace sonavel
