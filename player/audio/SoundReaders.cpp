#include "player/audio/SoundReaders.h"

#include <algorithm>
#include <cerrno>
#include <new>

#include "player/audio/CFileException.h"
#include "player/audio/CFileReader.h"
#include "player/audio/ReaderSupport.h"
#include "common/SoundDeclaredLength.h"

namespace sonavel {
namespace audio {
namespace {

// The last entry sees only what every reader before it left alone, so the files
// those take keep their samples and their refusals keep their messages.
constexpr CSoundReaderEntry s_readers[] = {
    {"wave", ReadWaveFile, "WAV"},
    {"aiff", ReadAiffFile, "AIFF/AIFC"},
    {"au", ReadAuFile, "AU"},
    {"fixed-le", ReadFixedHeaderFileLE, "fixed-header PCM"},
    {"fixed-be", ReadFixedHeaderFileBE, "fixed-header PCM"},
    {"sndfile", ReadSndfileFile, "FLAC, Ogg Vorbis, Opus, MP3, RF64, W64, CAF, NIST SPHERE"},
};

// A file that ends before the length its header declares (a download or a
// copy that stopped) is opened with what it holds; the result says how much
// was declared. A header that declares one pad byte or a trailing chunk more
// than is there, but every frame, is no short file.
void NoteShortFile(const CSoundProbe& probe, const SampleStore& store, CLoadResult& result)
{
    if (format::DeclaredSoundLength(probe.pHead, probe.nHead) <= probe.nFileLength)
        return;
    const int64_t nFrames = format::DeclaredSoundFrames(probe.pHead, probe.nHead);
    if (nFrames < 0 || nFrames > store.sampleCount)
        result.nDeclaredFrames = std::max<int64_t>(nFrames, 0);
}

} // namespace

CSoundReaderTable SoundReaderTable() { return {s_readers, sizeof s_readers / sizeof s_readers[0]}; }

std::vector<std::string> SoundFormatNames()
{
    std::vector<std::string> names;
    for (const CSoundReaderEntry& entry : SoundReaderTable()) {
        const std::string formats = entry.szFormats;
        for (std::size_t nAt = 0; nAt < formats.size();) {
            std::size_t nEnd = formats.find(", ", nAt);
            if (nEnd == std::string::npos)
                nEnd = formats.size();
            const std::string name = formats.substr(nAt, nEnd - nAt);
            if (std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(name);
            nAt = nEnd + 2;
        }
    }
    return names;
}

std::string SoundFormatList()
{
    std::string list;
    for (const std::string& name : SoundFormatNames())
        list += (list.empty() ? "" : ", ") + name;
    return list;
}

CLoadResult LoadSoundFile(const std::string& path, SampleStore& store, int nChannel)
{
    return LoadSoundFile(path, store, SoundReaderTable(), nChannel);
}

CLoadResult LoadSoundFile(const std::string& path, SampleStore& store, const CSoundReaderTable& readers, int nChannel)
{
    store.Clear();
    CLoadResult result;
    CFileReader file;
    if (!file.Open(path)) {
        result.nErrno = errno;
        result.szNotAFile = file.NotAFile();
        result.nFailure = ELoadFailure::CannotOpen;
        result.strMessage = path;
        return result;
    }

    try {
        // The first bytes are read once, for every reader.
        uint8_t head[kProbeBytes];
        file.Seek(0);
        const CSoundProbe probe{head, file.Read(head, sizeof head), file.GetLength()};
        EReaderAnswer answer = EReaderAnswer::NotMine;
        for (const CSoundReaderEntry& entry : readers) {
            answer = entry.pfnRead(file, probe, nChannel, store, result);
            if (answer != EReaderAnswer::NotMine) {
                result.strReader = entry.szName;
                break;
            }
        }
        if (answer != EReaderAnswer::Loaded) {
            store.Clear();
            file.Abort();
            if (result.nFailure == ELoadFailure::None)
                result.nFailure = ELoadFailure::NotASound;
            return result;
        }
        file.Close();
        NoteShortFile(probe, store, result);
    } catch (const CFileException& e) {
        // A file that fails under the readers is dropped without a message, like
        // one that no reader accepts.
        file.Abort();
        store.Clear();
        result = CLoadResult();
        result.nFailure = ELoadFailure::ReadFailed;
        result.nErrno = e.m_nErrno;
        return result;
    } catch (const std::bad_alloc&) {
        file.Abort();
        store.Clear();
        result = CLoadResult();
        OutOfMemory(store, result);
        return result;
    }
    return result;
}

int ChannelIndex(int nChannel, int nChannels) { return nChannel >= 1 && nChannel <= nChannels ? nChannel - 1 : -1; }

std::string NoChannelText(int nChannel, int nChannels)
{
    return "no channel " + std::to_string(nChannel) + ": the file has " + std::to_string(nChannels)
         + (nChannels == 1 ? " channel" : " channels");
}

CLoadResult LoadSoundForAnalysis(const std::string& path, SampleStore& store, int nChannel)
{
    CLoadResult result = LoadSoundFile(path, store, nChannel);
    if (result.Loaded() && store.sampleRate <= 0) {
        store.Clear();
        result = CLoadResult();
        result.nFailure = ELoadFailure::NoSampleRate;
    }
    return result;
}

} // namespace audio
} // namespace sonavel
