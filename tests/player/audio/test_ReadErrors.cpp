// A read that fails in the middle of the samples, after the readers have
// allocated their buffers: the open fails quietly and frees everything (the
// sanitizer build checks for leaks after each file).
#include "tests/support/ByteBuilder.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

// The descriptor whose reads fail once nAllowed bytes have been read from it.
std::atomic<int> g_nFailingFd{-1};
std::atomic<long> g_nAllowed{0};

} // namespace

// Every read of this program comes here first.
extern "C" ssize_t read(int fd, void* pBuf, size_t nBytes)
{
    if (fd == g_nFailingFd.load()) {
        const long nLeft = g_nAllowed.load();
        if (nLeft <= 0) {
            errno = EIO;
            return -1;
        }
        if (nBytes > size_t(nLeft))
            nBytes = size_t(nLeft);
        const long n = syscall(SYS_read, fd, pBuf, nBytes);
        if (n > 0)
            g_nAllowed -= n;
        return n;
    }
    return syscall(SYS_read, fd, pBuf, nBytes);
}

namespace {

using ReadErrors = ReaderTest;

TEST_F(ReadErrors, FailingMidFileFreesEverything)
{
    Bytes bytes8, words;
    for (int i = 0; i < 100000; ++i) {
        bytes8.U8(uint8_t(i));
        words.BE16(uint16_t(i * 7));
    }
    Bytes stereo;
    for (int i = 0; i < 100000; ++i)
        stereo.LE16(uint16_t(i)).LE16(0);
    const std::pair<const char*, Bytes> files[] = {
        {"aiff 8-bit", Form("AIFF", Bytes().Append(AiffComm(1, 100000, 8, Extended(8000))).Append(Ssnd(bytes8)))},
        {"au mu-law", AuHeader(".snd", true, 24, 100000, 1, 8000, 1).Append(bytes8)},
        {"wav stereo", SimpleWav(1, 2, 8000, 16, stereo)},
        {"fixed-header", FixedHeader(true, 6480, 20, 8000, 200000).Append(words)},
    };
    for (const auto& [szName, file] : files) {
        SCOPED_TRACE(szName);
        const std::string path = m_dir.Write(file);
        // The file gets the lowest free descriptor.
        const int nProbe = ::open("/dev/null", O_RDONLY);
        ::close(nProbe);
        g_nAllowed = 50000; // past every header, short of the samples
        g_nFailingFd = nProbe;
        const LoadResult r = LoadPath(path);
        g_nFailingFd = -1;
        EXPECT_FALSE(r.bLoaded);
        EXPECT_TRUE(m_messages.empty());
#if defined(__SANITIZE_ADDRESS__)
        EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);
#endif
    }
}

} // namespace
