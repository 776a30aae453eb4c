#pragma once
// The player's memory block: one zero-filled block of bytes behind a handle,
// locked for each access. Allocation failure is a result (a null handle), never
// an exception or a crash.
//
// The handle is shared: the application's store, a running playback and an
// analysis may each hold it, so the block outlives whoever frees "its" handle
// while the audio device still reads it. Lock and Unlock may come from any
// thread (the count is atomic); the bytes are the holders' to share wisely.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

class CSampleBlock;
using CSampleBlockHandle = std::shared_ptr<CSampleBlock>;

class CSampleBlock {
public:
    // A zero-filled block of nBytes, or null when the memory cannot be had or
    // nBytes exceeds the allocation limit.
    static CSampleBlockHandle Alloc(std::size_t nBytes);

    // Largest block Alloc hands out (default: no limit beyond the system's).
    // Tests and fuzzers lower it to provoke the out-of-memory paths.
    static void SetAllocationLimit(std::size_t nBytes);
    static std::size_t AllocationLimit();

    void* Lock();
    void Unlock();
    std::size_t Size() const { return m_nBytes; }

    ~CSampleBlock();
    CSampleBlock(const CSampleBlock&) = delete;
    CSampleBlock& operator=(const CSampleBlock&) = delete;

private:
    friend struct CSampleBlockProbe; // the tests' view of the lock count

    CSampleBlock(void* pData, std::size_t nBytes, std::size_t nMapped = 0)
        : m_pData(pData), m_nBytes(nBytes), m_nMapped(nMapped) {}

    void* m_pData;
    std::size_t m_nBytes;
    std::size_t m_nMapped; // nonzero: a block mapped by itself, of this many bytes
    std::atomic<int> m_nLocks{0};
};

// Lock/unlock in one scope.
class CSampleLock {
public:
    explicit CSampleLock(const CSampleBlockHandle& h) : m_h(h), m_p(h ? h->Lock() : nullptr) {}
    ~CSampleLock() { if (m_h) m_h->Unlock(); }
    CSampleLock(const CSampleLock&) = delete;
    CSampleLock& operator=(const CSampleLock&) = delete;
    void* Data() const { return m_p; }
    int16_t* Samples() const { return static_cast<int16_t*>(m_p); }

private:
    CSampleBlockHandle m_h;
    void* m_p;
};
