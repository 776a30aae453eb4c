// The libsndfile reader on its own: whatever the codecs make of the bytes, the
// outcome is one of four and a loaded store is consistent. A refusal always
// says why; a loaded sound is never empty.
#include "tests/fuzz/FuzzSupport.h"
#include "tests/fuzz/ScratchFile.h"
#include "tests/fuzz/FuzzTarget.h"

#include "player/audio/CFileReader.h"
#include "player/audio/SndfileReader.h"

using namespace sonavel::audio;

FUZZ_TARGET(read_sndfile, "sndfile")
{
    fuzz::InitEnvironment();
    // Small parts, so short inputs also take the several-threads path.
    SetSndfilePartFrames(512);
    CFileReader file;
    FUZZ_CHECK(file.Open(fuzz::WriteScratchFile(data, size)));
    SampleStore store;
    std::string strMessage;
    switch (ReadWithSndfile(file, store, strMessage)) {
    case ESndfileOutcome::Loaded:
        fuzz::CheckLoadedStore(store);
        FUZZ_CHECK(store.sampleCount > 0 && store.sampleRate > 0);
        break;
    case ESndfileOutcome::Refused:
        FUZZ_CHECK(!strMessage.empty());
        FUZZ_CHECK(store.hSamples == nullptr);
        break;
    case ESndfileOutcome::NotMine:
    case ESndfileOutcome::OutOfMemory:
        FUZZ_CHECK(store.hSamples == nullptr);
        break;
    }
    return 0;
}
