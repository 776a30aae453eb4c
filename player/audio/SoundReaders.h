#pragma once
// The table of readers and the one way every caller loads a sound file.
//
// Each reader is given the file, its first bytes and its length, and answers
// NotMine (the walk goes on to the next reader), Refused (the walk stops; the
// failure is in the result) or Loaded. The table lists them in the order they
// are tried; a new reader is one more entry at the end.
#include <cstddef>
#include <cstdint>
#include <string>

#include "player/audio/CLoadResult.h"
#include "player/audio/SampleStore.h"

class CSonavelProDoc;
class CFileReader;

namespace sonavel {
namespace audio {

enum class EReaderAnswer { NotMine, Refused, Loaded };

// The file's first bytes (up to kProbeBytes, fewer for a shorter file) and its length.
struct CSoundProbe {
    const uint8_t* pHead = nullptr;
    std::size_t nHead = 0;
    int64_t nFileLength = 0;
};
constexpr std::size_t kProbeBytes = 6480;

using SoundReaderFn = EReaderAnswer (*)(CSonavelProDoc& doc, CFileReader& file, const CSoundProbe& probe,
                                        CLoadResult& result);

struct CSoundReaderEntry {
    const char* szName;
    SoundReaderFn pfnRead;
};

struct CSoundReaderTable {
    const CSoundReaderEntry* pEntries;
    std::size_t nCount;
    const CSoundReaderEntry* begin() const { return pEntries; }
    const CSoundReaderEntry* end() const { return pEntries + nCount; }
};

// wave, aiff, au, fixed-le, fixed-be, sndfile.
CSoundReaderTable SoundReaderTable();

// Opens the path and walks the table. On success store holds the sound (the
// caller owns its block) and the result names the reader; otherwise store is
// cleared and the result says why. Keeps no state between calls, so two
// threads may load at once.
CLoadResult LoadSoundFile(const std::string& path, SampleStore& store);
CLoadResult LoadSoundFile(const std::string& path, SampleStore& store, const CSoundReaderTable& readers);

// LoadSoundFile for whatever needs a time axis (the command line, the Python
// module): a sound whose header gives no positive rate is refused as well
// (NoSampleRate, store cleared). The player itself loads such a sound and then
// says it cannot play it.
CLoadResult LoadSoundForAnalysis(const std::string& path, SampleStore& store);

} // namespace audio
} // namespace sonavel
