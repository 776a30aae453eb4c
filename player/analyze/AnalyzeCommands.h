#pragma once
// The subcommands of sonavel-analyze. Each lives in its own source file and is
// listed once in the table in main.cpp.
//
// Each command runs on the program's main thread (its own workers aside) and
// owns what it reads and writes until it returns.
#include <string>

#include "player/audio/SampleStore.h"

namespace sonavel {
namespace analyze {

// argv[0] is the subcommand's name; returns the exit status.
using CommandFn = int (*)(int argc, char** argv);

struct AnalyzeCommand {
    const char* szName;
    const char* szUsage; // arguments after the name, for the usage text
    CommandFn pfnRun;
};

int RunInfo(int argc, char** argv);
int RunSamples(int argc, char** argv);
int RunPitch(int argc, char** argv);
int RunMeasure(int argc, char** argv);
int RunFormants(int argc, char** argv);
int RunIntensity(int argc, char** argv);
int RunExtract(int argc, char** argv);
int RunSpectrum(int argc, char** argv);
int RunVoice(int argc, char** argv);
// The picture itself is drawn by a program of its own (sonavel-render), which
// StartRender runs in place of this one.
int RunRender(int argc, char** argv);
int StartRender(int argc, char** argv);

// Loads channel nChannel (1 for the first) of a sound with the player's own
// document and readers. On failure, and for a sound without a positive sample
// rate (nothing here can give it a time axis), writes one line to stderr and
// returns false. Reader messages go to stderr, never to a window. strReader
// receives the name of the reader that took the file, nChannels (when given)
// the file's channel count.
bool LoadSound(const std::string& path, SampleStore& store, std::string& strReader, int nChannel = 1,
               int* pChannels = nullptr);

// One line "sonavel-analyze: <text>" on stderr, text escaped as JsonEscaped
// does (so a file name in it shows no control character and no stray byte).
void PrintError(const std::string& text);

// A command makes and frees many vectors of a few MB (an hour's frames, one
// after another). By default each comes from the system afresh and goes back
// when freed, so every one is faulted in and zeroed page by page again: a
// tenth of an hour's pitch run. Kept by the allocator up to 32 MB, they are
// reused; larger blocks (the tracker's frames, samples) still come and go
// whole. Both programs' main calls this first.
void KeepBlocksForReuse();

} // namespace analyze
} // namespace sonavel
