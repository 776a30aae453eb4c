#include "common/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sonavel {
namespace files {

namespace {

const char* NotAFile(mode_t nMode)
{
    if (S_ISREG(nMode))
        return nullptr;
    if (S_ISDIR(nMode))
        return "a folder";
    if (S_ISFIFO(nMode))
        return "a FIFO";
    if (S_ISSOCK(nMode))
        return "a socket";
    return "a device";
}

InputFile Refused(mode_t nMode)
{
    InputFile file;
    file.szNotAFile = NotAFile(nMode);
    file.nErrno = S_ISDIR(nMode) ? EISDIR : EINVAL;
    return file;
}

} // namespace

InputFile OpenInputFile(const std::string& strPath)
{
    struct stat st {};
    if (strPath.empty() || ::stat(strPath.c_str(), &st) != 0) {
        InputFile file;
        file.nErrno = strPath.empty() ? ENOENT : errno;
        return file;
    }
    if (!S_ISREG(st.st_mode))
        return Refused(st.st_mode);
    // O_NONBLOCK only for the open: what was swapped in meanwhile must not
    // hold the caller here either.
    InputFile file;
    file.fd = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (file.fd < 0) {
        file.nErrno = errno;
        return file;
    }
    struct stat opened {};
    if (::fstat(file.fd, &opened) != 0) {
        file.nErrno = errno;
        ::close(file.fd);
        file.fd = -1;
        return file;
    }
    if (!S_ISREG(opened.st_mode)) {
        ::close(file.fd);
        return Refused(opened.st_mode);
    }
    const int nFlags = ::fcntl(file.fd, F_GETFL);
    if (nFlags >= 0)
        ::fcntl(file.fd, F_SETFL, nFlags & ~O_NONBLOCK);
    return file;
}

std::string DescribeOpenFailure(const InputFile& file)
{
    if (file.szNotAFile)
        return std::string("is ") + file.szNotAFile + ", not a file";
    return std::strerror(file.nErrno);
}

} // namespace files
} // namespace sonavel
