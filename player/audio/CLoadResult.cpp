#include "player/audio/CLoadResult.h"

#include "player/audio/AudioResource.h"
#include "player/audio/SoundReaders.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sonavel {
namespace audio {
namespace {

// Why the path could not be opened: the open's own reason, else asked again of
// the system.
std::string WhyUnopenable(const std::string& path, int nErrno, const char* szNotAFile)
{
    if (path.empty())
        return "no file given";
    if (szNotAFile && nErrno != EISDIR)
        return std::string("is ") + szNotAFile + ", not a file";
    if (nErrno == EISDIR)
        return "is a directory";
    if (nErrno != 0)
        return std::strerror(nErrno);
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return std::strerror(errno);
    if (S_ISDIR(st.st_mode))
        return "is a directory";
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return std::strerror(errno);
    ::close(fd);
    return "cannot be opened";
}

std::string Trim(const std::string& s)
{
    const auto b = s.find_first_not_of(' ');
    const auto e = s.find_last_not_of(' ');
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

} // namespace

std::string DescribeLoadFailure(const CLoadResult& result, const std::string& path)
{
    if (result.nFailure == ELoadFailure::CannotOpen)
        return "cannot open " + path + ": " + WhyUnopenable(path, result.nErrno, result.szNotAFile);
    if (result.nFailure == ELoadFailure::ReadFailed && result.nErrno != 0)
        return "cannot read " + path + ": " + std::strerror(result.nErrno);
    if (result.nFailure == ELoadFailure::NoSampleRate)
        return path + ": no sample rate";
    if (!result.strMessage.empty())
        return path + ": " + Trim(result.strMessage);
    if (result.nFailure == ELoadFailure::OutOfMemory)
        return path + ": " + STR_NOT_ENOUGH_MEMORY;
    return path + ": not a sound file this player reads (" + SoundFormatList() + ")";
}

} // namespace audio
} // namespace sonavel
