#pragma once
// Small builders for sound files byte by byte, and a fixture that loads them
// through the reader table with what the player shows for a failure recorded.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "player/audio/CDocumentHost.h"
#include "player/audio/CFileReader.h"
#include "player/audio/CSampleBlock.h"
#include "player/audio/CSonavelProDoc.h"
#include "player/audio/SoundReaders.h"
#include "tests/support/CScratchDir.h"

class Bytes {
public:
    Bytes& Str(const std::string& s) { m_v.insert(m_v.end(), s.begin(), s.end()); return *this; }
    Bytes& Raw(std::initializer_list<uint8_t> b) { m_v.insert(m_v.end(), b); return *this; }
    Bytes& Fill(std::size_t n, uint8_t b = 0) { m_v.insert(m_v.end(), n, b); return *this; }
    Bytes& U8(uint8_t b) { m_v.push_back(b); return *this; }
    Bytes& LE16(uint16_t x) { return U8(uint8_t(x)).U8(uint8_t(x >> 8)); }
    Bytes& LE32(uint32_t x) { return LE16(uint16_t(x)).LE16(uint16_t(x >> 16)); }
    Bytes& BE16(uint16_t x) { return U8(uint8_t(x >> 8)).U8(uint8_t(x)); }
    Bytes& BE32(uint32_t x) { return BE16(uint16_t(x >> 16)).BE16(uint16_t(x)); }
    Bytes& Append(const Bytes& o) { m_v.insert(m_v.end(), o.m_v.begin(), o.m_v.end()); return *this; }
    void PutLE32(std::size_t at, uint32_t x)
    {
        for (int i = 0; i < 4; ++i)
            m_v[at + i] = uint8_t(x >> (8 * i));
    }
    std::size_t Size() const { return m_v.size(); }
    const std::vector<uint8_t>& Data() const { return m_v; }

private:
    std::vector<uint8_t> m_v;
};

// 16-bit samples, little- or big-endian.
inline Bytes LittleWords(std::initializer_list<int16_t> w)
{
    Bytes b;
    for (int16_t x : w)
        b.LE16(uint16_t(x));
    return b;
}
inline Bytes BigWords(std::initializer_list<int16_t> w)
{
    Bytes b;
    for (int16_t x : w)
        b.BE16(uint16_t(x));
    return b;
}

// RIFF/WAVE: "RIFF", length, "WAVE", then the chunks as given.
inline Bytes Riff(const Bytes& chunks)
{
    return Bytes().Str("RIFF").LE32(uint32_t(chunks.Size() + 4)).Str("WAVE").Append(chunks);
}
inline Bytes WavChunk(const std::string& id, const Bytes& body)
{
    return Bytes().Str(id).LE32(uint32_t(body.Size())).Append(body);
}
// Block align: whole bytes per channel unless given.
inline Bytes WavFmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint16_t align = 0)
{
    if (align == 0)
        align = uint16_t(channels * ((bits + 7) / 8));
    return Bytes().LE16(tag).LE16(channels).LE32(rate).LE32(rate * align).LE16(align).LE16(bits);
}
inline Bytes SimpleWav(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, const Bytes& data)
{
    return Riff(Bytes().Append(WavChunk("fmt ", WavFmt(tag, channels, rate, bits))).Append(WavChunk("data", data)));
}

// AIFF/AIFC chunks, big-endian.
inline Bytes AiffChunk(const std::string& id, const Bytes& body)
{
    return Bytes().Str(id).BE32(uint32_t(body.Size())).Append(body);
}
// The rate as 80-bit extended bytes, for the few rates the tests use.
inline Bytes Extended(uint32_t rate)
{
    // Exponent and a normalised 64-bit mantissa for a whole number.
    int e = 31;
    while (!(rate & 0x80000000u)) {
        rate <<= 1;
        --e;
    }
    return Bytes().BE16(uint16_t(16383 + e)).BE32(rate).BE32(0);
}
inline Bytes AiffComm(int16_t channels, uint32_t frames, uint16_t bits, const Bytes& rate10)
{
    return AiffChunk("COMM", Bytes().BE16(uint16_t(channels)).BE32(frames).BE16(bits).Append(rate10));
}
inline Bytes AifcComm(int16_t channels, uint32_t frames, uint16_t bits, const Bytes& rate10,
                      const std::string& compression = "NONE")
{
    return AiffChunk("COMM", Bytes().BE16(uint16_t(channels)).BE32(frames).BE16(bits).Append(rate10)
                                 .Str(compression).U8(14).Str("not compressed").U8(0));
}
inline Bytes Ssnd(const Bytes& samples, uint32_t offset = 0)
{
    return AiffChunk("SSND", Bytes().BE32(offset).BE32(0).Append(samples));
}
inline Bytes Fver() { return AiffChunk("FVER", Bytes().BE32(0xA2805140)); }
inline Bytes Form(const std::string& type, const Bytes& chunks)
{
    return Bytes().Str("FORM").BE32(uint32_t(chunks.Size() + 4)).Str(type).Append(chunks);
}

// AU header: magic bytes, then five fields in the chosen order.
inline Bytes AuHeader(const std::string& magic, bool bigEndian, uint32_t offset, uint32_t size, uint32_t encoding,
                      uint32_t rate, uint32_t channels)
{
    Bytes b;
    b.Str(magic);
    for (uint32_t f : {offset, size, encoding, rate, channels})
        bigEndian ? b.BE32(f) : b.LE32(f);
    return b;
}

// Fixed-header PCM: a 6480-byte header, then the data.
inline Bytes FixedHeader(bool bigEndian, uint32_t headerLength, uint32_t format, uint32_t rate, uint32_t dataLength)
{
    Bytes b;
    for (uint32_t f : {headerLength, format, 0u, 0u, rate, 0u, dataLength})
        bigEndian ? b.BE32(f) : b.LE32(f);
    return b.Fill(6480 - b.Size(), 0xEE);
}

// Writes each file into a private temporary folder that goes with the fixture.
class CTempDir {
public:
    std::string Write(const Bytes& b)
    {
        const std::string path = m_dir / ("f" + std::to_string(m_nFiles++));
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f) {
            if (b.Size())
                std::fwrite(b.Data().data(), 1, b.Size(), f);
            std::fclose(f);
        }
        return path;
    }

private:
    testsupport::CScratchDir m_dir;
    int m_nFiles = 0;
};

struct LoadResult {
    bool bLoaded = false;
    std::string strReader;
    SampleStore store;
    std::vector<int16_t> samples;
    sonavel::audio::CLoadResult result;
};

inline void KeepSamples(LoadResult& r, const SampleStore& store)
{
    r.store = store;
    if (store.hSamples && store.sampleCount > 0) {
        CSampleLock lock(store.hSamples);
        r.samples.assign(lock.Samples(), lock.Samples() + store.sampleCount);
    }
}

class CRecordingHost : public CDocumentHost {
public:
    void OnDocumentLoaded(const SampleStore& store, const sonavel::audio::CLoadResult& result) override
    {
        m_result.bLoaded = true;
        m_result.strReader = result.strReader;
        m_result.result = result;
        KeepSamples(m_result, store);
    }
    void OnDocumentFailed(const sonavel::audio::CLoadResult& result) override { m_result.result = result; }
    LoadResult m_result;
};

// Loads through the design's readers (the table without libsndfile, its last
// entry, which takes much of what they refuse), or with LoadWhole through the
// whole table; what the player would show for a failure (beep, then box) is
// recorded in m_events and m_messages.
class ReaderTest : public ::testing::Test {
protected:
    void TearDown() override { CSampleBlock::SetAllocationLimit(SIZE_MAX); }

    LoadResult Load(const Bytes& b, int nChannel = 1) { return LoadPath(m_dir.Write(b), true, nChannel); }
    LoadResult LoadWhole(const Bytes& b, int nChannel = 1) { return LoadPath(m_dir.Write(b), false, nChannel); }
    LoadResult LoadPath(const std::string& path, bool bDesignReaders = true, int nChannel = 1)
    {
        sonavel::audio::CSoundReaderTable readers = sonavel::audio::SoundReaderTable();
        if (bDesignReaders)
            --readers.nCount;
        SampleStore store;
        LoadResult r;
        r.result = sonavel::audio::LoadSoundFile(path, store, readers, nChannel);
        r.bLoaded = r.result.Loaded();
        r.strReader = r.result.strReader;
        KeepSamples(r, store);
        if (r.result.bBeep)
            m_events.push_back("beep0");
        if (r.result.HasBox()) {
            m_events.push_back("box");
            m_messages.push_back(r.result.strMessage);
        }
        return r;
    }

    std::vector<std::string> m_messages;
    std::vector<std::string> m_events;
    CTempDir m_dir;
};
