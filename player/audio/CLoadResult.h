#pragma once
// What opening a sound file came to: loaded, or the one failure and what the
// player shows for it. Readers fill it instead of showing anything themselves;
// the player's shell turns it into its message box, the command-line tool into
// its stderr line.
//
// A value; any thread.
#include <cstdint>
#include <string>

namespace sonavel {
namespace audio {

enum class ELoadFailure {
    None,
    CannotOpen,  // the path could not be opened; the box shows the path itself
    NotASound,   // no reader took the file; nothing is shown
    Refused,     // a reader took the file and refused it with its own message
    OutOfMemory, // the sound cannot be held; beep and the out-of-memory message where the
                 // reader shows it (not for the store's own block, which fails silently)
    ReadFailed,  // a seek or read failed under the readers; nothing is shown
    NoSampleRate, // loaded, but the header gives no usable rate: refused where a
                  // time axis is needed (the command line, the Python module)
};

struct CLoadResult {
    ELoadFailure nFailure = ELoadFailure::None;
    std::string strMessage; // the text of the box the player shows, empty when none
    bool bBeep = false;     // a beep comes before the box
    std::string strReader;  // the reader that took (or refused) the file: "wave", "aiff", "au", "fixed-le",
                            // "fixed-be", "sndfile"
    int nErrno = 0;         // CannotOpen and ReadFailed: the system's reason, when it gave one
    const char* szNotAFile = nullptr; // CannotOpen of what is no regular file: "a FIFO", "a device"...
    int nChannels = 0;      // the file's channel count, once its reader has read it
    int nChannel = 0;       // loaded: the channel the store holds, 1 for the first
    // Loaded from a file shorter than its header declares (a download or copy
    // that stopped early), holding fewer frames than declared: the frames the
    // header declares, or 0 when it says only its length. -1 otherwise.
    int64_t nDeclaredFrames = -1;

    bool Loaded() const { return nFailure == ELoadFailure::None && !strReader.empty(); }
    // Whether the player shows a box: an unopenable empty path shows an empty one.
    bool HasBox() const { return nFailure == ELoadFailure::CannotOpen || !strMessage.empty(); }
};

// The failure as one line for the command line, without the program's name:
// "cannot open PATH: REASON", "cannot read PATH: REASON", "PATH: MESSAGE" (the
// box's text without its surrounding spaces), "PATH: no sample rate" or
// "PATH: not a sound file this player reads (...)".
std::string DescribeLoadFailure(const CLoadResult& result, const std::string& path);

} // namespace audio
} // namespace sonavel
