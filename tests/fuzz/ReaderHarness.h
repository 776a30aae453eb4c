#pragma once
// One reader on its own: the bytes as a file, a fresh document, the reader
// called directly. A file exception may leave the reader (the document's open
// catches it); anything else that leaves it is a finding.
#include "tests/fuzz/FuzzSupport.h"
#include "tests/fuzz/ScratchFile.h"
#include "tests/fuzz/FuzzTarget.h"

#include "player/audio/CFileException.h"
#include "player/audio/CFileReader.h"
#include "player/audio/CSonavelProDoc.h"

namespace fuzz {

// Runs pfnRead over the bytes; returns its result (0 when a file exception left it).
// A reader that succeeds must leave a consistent store.
inline int RunReader(const uint8_t* data, size_t size, int (CSonavelProDoc::*pfnRead)(CFileReader&))
{
    InitEnvironment();
    const std::string path = WriteScratchFile(data, size);
    CFileReader file;
    FUZZ_CHECK(file.Open(path));
    CSonavelProDoc doc(nullptr);
    int nResult = 0;
    try {
        nResult = (doc.*pfnRead)(file);
    } catch (const CFileException&) {
        nResult = 0;
    }
    if (nResult)
        CheckLoadedStore(doc.m_store);
    file.Abort();
    return nResult;
}

} // namespace fuzz
