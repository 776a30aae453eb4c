#include "player/analyze/AnalyzeCommands.h"

#include "player/audio/CDocumentHost.h"
#include "player/audio/CSonavelProDoc.h"
#include "player/audio/Messages.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace sonavel {
namespace analyze {

namespace {

class CAnalyzeHost : public CDocumentHost {
public:
    void OnDocumentLoaded(const SampleStore& store, const char* szReader) override
    {
        m_store = store;
        m_strReader = szReader;
        m_bLoaded = true;
    }
    SampleStore m_store;
    std::string m_strReader;
    bool m_bLoaded = false;
};

std::string WhyUnopenable(const std::string& path)
{
    if (path.empty())
        return "no file given";
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

void PrintError(const std::string& text) { std::fprintf(stderr, "sonavel-analyze: %s\n", text.c_str()); }

bool LoadSound(const std::string& path, SampleStore& store, std::string& strReader)
{
    std::vector<std::string> messages;
    auto oldBox = SetMessageBoxHandler([&](const std::string& text, unsigned) {
        messages.push_back(text);
        return 1;
    });
    CAnalyzeHost host;
    {
        CSonavelProDoc doc(&host);
        doc.OnOpenDocument(path);
    }
    SetMessageBoxHandler(oldBox);

    if (!host.m_bLoaded) {
        if (messages.size() == 1 && messages[0] == path)
            PrintError("cannot open " + path + ": " + WhyUnopenable(path));
        else if (!messages.empty())
            PrintError(path + ": " + Trim(messages.back()));
        else
            PrintError(path + ": not a sound file this player reads (WAV, AIFF/AIFC, AU, fixed-header PCM, FLAC, Ogg Vorbis, Opus, MP3, RF64, W64, CAF, NIST SPHERE)");
        return false;
    }
    for (const std::string& m : messages)
        PrintError(path + ": " + Trim(m));
    store = host.m_store;
    strReader = host.m_strReader;
    return true;
}

} // namespace analyze
} // namespace sonavel
