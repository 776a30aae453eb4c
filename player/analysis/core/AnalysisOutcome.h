#pragma once
// What an analysis came to, for every analysis and every caller: done, or the
// reason it is not. Each caller words it in its own way (a line on stderr, a
// Python exception, a status text); nothing that answers it shows anything.
//
// Values and free functions; any thread.
#include <string>

namespace sonavel::analysis {

enum class EOutcome {
    Done,
    NoMemory,     // working memory cannot be had (or the arguments do not fit the buffers)
    SourceFailed, // the sample source failed to give a block: a file cut short
    Refused,      // settings or arguments outside what the analysis takes
    RangeUnfit,   // a range the sound's sample rate cannot carry
    NotLoaded,    // the sound could not be loaded: the load's own result says why
};

// A setting an analysis refuses, checked before any sound is read: its name as
// the analysis calls it ("floor", "step") and why, for a message after that
// name; no name when every setting is taken.
struct SettingRefusal {
    const char* szSetting = nullptr;
    std::string strWhy;
    explicit operator bool() const { return szSetting != nullptr; }
};

} // namespace sonavel::analysis
