#pragma once
// One reader on its own: the bytes as a file, a fresh store, the reader called
// through its table entry. A file exception may leave the reader (the walk
// catches it); anything else that leaves it is a finding.
#include "tests/fuzz/FuzzSupport.h"
#include "tests/fuzz/ScratchFile.h"
#include "tests/fuzz/FuzzTarget.h"

#include "player/audio/CFileException.h"
#include "player/audio/CFileReader.h"
#include "player/audio/SoundReaders.h"

#include <string>

namespace fuzz {

// Runs the table's reader szName over the bytes, given the first bytes as the
// walk gives them; returns 1 when it loaded (0 when a file exception left it).
// A reader that succeeds must leave a consistent store; a refusal says why.
inline int RunReader(const uint8_t* data, size_t size, const char* szName)
{
    using namespace sonavel::audio;
    InitEnvironment();
    const std::string path = WriteScratchFile(data, size);
    CFileReader file;
    FUZZ_CHECK(file.Open(path));
    SampleStore store;
    CLoadResult result;
    EReaderAnswer answer = EReaderAnswer::NotMine;
    try {
        uint8_t head[kProbeBytes];
        const CSoundProbe probe{head, file.Read(head, sizeof head), file.GetLength()};
        for (const CSoundReaderEntry& entry : SoundReaderTable())
            if (std::string(entry.szName) == szName)
                answer = entry.pfnRead(file, probe, 1, store, result);
    } catch (const CFileException&) {
        answer = EReaderAnswer::NotMine;
    }
    if (answer == EReaderAnswer::Loaded)
        CheckLoadedStore(store);
    if (answer == EReaderAnswer::Refused)
        FUZZ_CHECK(result.nFailure != ELoadFailure::None && !result.strMessage.empty());
    file.Abort();
    return answer == EReaderAnswer::Loaded;
}

} // namespace fuzz
