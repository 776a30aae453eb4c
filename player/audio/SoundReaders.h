#pragma once
// The table of readers and the one way every caller loads a sound file.
//
// Each reader is a free function given the file, its first bytes and its
// length, the channel asked for and the store to fill, and answers NotMine
// (the walk goes on to the next reader), Refused (the walk stops; the failure
// is in the result) or Loaded (the store holds the sound, all four fields).
// Each seeks itself. A reader that fails may leave numbers and a block in the
// store; the next one overwrites what it uses. The table lists them in the
// order they are tried; a new reader is one more entry at the end.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/SoundFormat.h"
#include "player/audio/CLoadResult.h"
#include "player/audio/SampleStore.h"

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
// The longest header any reader needs: the fixed-header format's.
constexpr std::size_t kProbeBytes = format::kFixedHeaderBytes;

// nChannel: the channel the store is to hold, 1 for the first. A refusal puts
// its message in result.
using SoundReader = EReaderAnswer(CFileReader& file, const CSoundProbe& probe, int nChannel, SampleStore& store,
                                  CLoadResult& result);
using SoundReaderFn = SoundReader*;

// The table's readers, each in its own file, all of the one signature. They
// keep no state of their own, so any of them may be called alone, on any store.
SoundReader ReadWaveFile, ReadAiffFile, ReadAuFile, ReadFixedHeaderFileLE, ReadFixedHeaderFileBE;
// The last entry: what libsndfile decodes (SndfileReader.h).
SoundReader ReadSndfileFile;

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

// Opens the path and walks the table: the first reader that answers is the
// file's, a refusal (an out-of-memory one too) ends the walk. On success store
// holds channel nChannel of the sound (1 is the first; the caller owns its
// block) and the result names the reader and the file's channel count;
// otherwise store is cleared and the result says why: a path that cannot be
// opened has the path as its box text, a file no reader takes and a failed
// seek or read have none, a channel the file does not have is refused with the
// count. Keeps no state between calls, so two threads may load at once.
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
