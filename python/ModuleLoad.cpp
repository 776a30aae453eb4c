#include "python/ModuleLoad.h"

#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "player/audio/CDocumentHost.h"
#include "player/audio/CSonavelProDoc.h"
#include "player/audio/Messages.h"

namespace sonavel::python {

namespace {

class CModuleHost : public CDocumentHost {
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

// The readers report through the process-wide message handler: one load at a time.
std::mutex g_loadMutex;

} // namespace

CModuleLoad LoadForModule(const std::string& path, SampleStore& store)
{
    std::lock_guard<std::mutex> guard(g_loadMutex);
    std::vector<std::string> messages;
    auto oldBox = SetMessageBoxHandler([&](const std::string& text, unsigned) {
        messages.push_back(text);
        return 1;
    });
    CModuleHost host;
    {
        CSonavelProDoc doc(&host);
        doc.OnOpenDocument(path);
    }
    SetMessageBoxHandler(oldBox);

    CModuleLoad load;
    if (!host.m_bLoaded) {
        if (messages.size() == 1 && messages[0] == path)
            load.strFailure = "cannot open " + path + ": " + WhyUnopenable(path);
        else if (!messages.empty())
            load.strFailure = path + ": " + Trim(messages.back());
        else
            load.strFailure = path + ": not a sound file this player reads (WAV, AIFF/AIFC, AU, fixed-header PCM)";
        return load;
    }
    store = host.m_store;
    load.bLoaded = true;
    load.strReader = host.m_strReader;
    return load;
}

} // namespace sonavel::python
