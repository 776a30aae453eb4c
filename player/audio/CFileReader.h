#pragma once
// The readers' file: open for reading, seek anywhere, read what is there.
// A failed seek or read throws CFileException; a short read at the end of the
// file is reported by the count returned.
#include <cstddef>
#include <cstdint>
#include <string>

class CFileReader {
public:
    CFileReader() = default;
    ~CFileReader();
    CFileReader(const CFileReader&) = delete;
    CFileReader& operator=(const CFileReader&) = delete;

    // Opens an existing file for reading. Fails (returns false, no throw) for a
    // missing or unreadable path, an empty path and anything that is no regular
    // file (a directory, a FIFO, a device), never waiting on it; errno then says
    // why (ENOENT for the empty path, EISDIR for a directory, EINVAL for the
    // rest, which NotAFile() names).
    bool Open(const std::string& path);
    // After a failed Open: "a folder", "a FIFO", "a device", "a socket", or null.
    const char* NotAFile() const { return m_szNotAFile; }

    // Absolute position in bytes. Seeking past the end is allowed (later reads
    // return 0); a negative position throws.
    void Seek(int64_t nPos);

    // Reads up to nBytes into pBuf; returns the count, fewer only at the end of
    // the file. Retries interrupted and partial reads.
    std::size_t Read(void* pBuf, std::size_t nBytes);

    // Reads up to nBytes from position nPos into pBuf, a large read split
    // between threads (each faults in and fills its own part of pBuf, which is
    // most of the cost of a big read); then the position is just past what was
    // read. Returns the count, fewer only at the end of the file.
    std::size_t ReadSpread(void* pBuf, std::size_t nBytes, int64_t nPos);

    // Length of the file in bytes when it was opened.
    int64_t GetLength() const { return m_nLength; }

    // Close reports failures by throwing; Abort closes whatever happened.
    void Close();
    void Abort();
    bool IsOpen() const { return m_fd >= 0; }
    // The open descriptor (-1 when closed), for decoders that read it themselves
    // with pread and leave the position alone.
    int GetDescriptor() const { return m_fd; }

private:
    int m_fd = -1;
    int64_t m_nPos = 0;
    int64_t m_nLength = 0;
    std::string m_strPath;
    const char* m_szNotAFile = nullptr;
};
