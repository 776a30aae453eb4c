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
#include <vector>

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
    // The formats this reader takes, as the help texts and messages name them
    // ("AIFF/AIFC"; several separated by ", "). A reader that takes a format an
    // earlier one already names repeats it.
    const char* szFormats = "";
};

struct CSoundReaderTable {
    const CSoundReaderEntry* pEntries;
    std::size_t nCount;
    const CSoundReaderEntry* begin() const { return pEntries; }
    const CSoundReaderEntry* end() const { return pEntries + nCount; }
};

// wave, aiff, au, fixed-le, fixed-be, sndfile.
CSoundReaderTable SoundReaderTable();

// Every format the table's readers take, in the table's order, each once:
// WAV, AIFF/AIFC, AU, fixed-header PCM, then libsndfile's. The one list behind
// the player's --help, the command line's "not a sound file" line, the Python
// module's documents and the manual pages.
std::vector<std::string> SoundFormatNames();
// The same joined by ", ".
std::string SoundFormatList();

// Opens the path and walks the table. On success store holds channel nChannel
// of the sound (1 is the first; the caller owns its block) and the result names
// the reader and the file's channel count; otherwise store is cleared and the
// result says why (a channel the file does not have is refused with the
// count). Keeps no state between calls, so two threads may load at once.
CLoadResult LoadSoundFile(const std::string& path, SampleStore& store, int nChannel = 1);
CLoadResult LoadSoundFile(const std::string& path, SampleStore& store, const CSoundReaderTable& readers,
                          int nChannel = 1);

// LoadSoundFile for whatever needs a time axis (the command line, the Python
// module): a sound whose header gives no positive rate is refused as well
// (NoSampleRate, store cleared). The player itself loads such a sound and then
// says it cannot play it.
CLoadResult LoadSoundForAnalysis(const std::string& path, SampleStore& store, int nChannel = 1);

// Which sample of a frame of nChannels a load of channel nChannel (1-based)
// keeps: 0 .. nChannels - 1, or -1 when the file has no such channel. The one
// place the channel is decided; every reader asks here.
int ChannelIndex(int nChannel, int nChannels);
// The refusal of a channel the file does not have: "no channel 3: the file
// has 2 channels".
std::string NoChannelText(int nChannel, int nChannels);

} // namespace audio
} // namespace sonavel
