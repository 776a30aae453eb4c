#pragma once
// The one way a user's file is written, by every command, the Python module and
// the views. A regular file (or a name not yet taken) is written whole under a
// short temporary name in its folder, synced and renamed over the name, so a
// reader, a crash or a full disk never meets half of it and a failure leaves the
// earlier file as it was. What is no regular file is written into as it is and
// never replaced: a device (/dev/null), a FIFO, and a descriptor's link
// (/dev/stdout, /proc/self/fd/N), which writes through that very descriptor.
// A symbolic link writes the file it leads to; the link stays.
//
// One object per file, used by one thread at a time.
#include <cstddef>
#include <string>
#include <string_view>

namespace sonavel {
namespace files {

class COutputFile {
public:
    // szNameSlot (nSlot bytes, may be null) holds the temporary file's path
    // while it exists, so that a signal handler, or a batch's parent, can remove
    // it; it is emptied once the file is renamed or removed. The slot is left
    // empty for a path longer than it.
    explicit COutputFile(char* szNameSlot = nullptr, std::size_t nSlot = 0);
    // A file not committed is removed; the earlier one stays.
    ~COutputFile();
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    // False with Error() set when the file cannot be written at all (no such
    // folder, a folder by that name, no permission).
    bool Open(const std::string& strPath);
    // Buffered; false once any write failed.
    bool Write(const void* p, std::size_t nBytes);
    // The whole file in place: the rest written, synced, renamed over the name.
    // False with Error() set; the earlier file then stays as it was.
    bool Commit();
    // The system's error of the first failure, 0 when none.
    int Error() const { return m_nErrno; }

private:
    bool Fail(int nErrno);
    bool WriteAll(const char* p, std::size_t n);
    bool Flush();
    void Discard();

    char* m_szNameSlot;
    std::size_t m_nSlot;
    int m_fd = -1;
    int m_dirFd = -1;
    bool m_bInPlace = false; // a device, a FIFO or a descriptor: written as it is, no sync or rename
    int m_nErrno = 0;
    std::string m_strTemp;  // the temporary file's name in m_dirFd, empty when none
    std::string m_strFinal; // the name it is renamed to in m_dirFd
    std::string m_buffer;
};

// The bytes as the whole file strPath; false with the system's error in nErrno.
bool WriteWholeFile(const std::string& strPath, std::string_view bytes, int& nErrno);

// "cannot write PATH: REASON", the line every writer shows for a failure.
std::string DescribeWriteFailure(const std::string& strPath, int nErrno);

} // namespace files
} // namespace sonavel
