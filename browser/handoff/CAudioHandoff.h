#pragma once
// The hand-off of sound links: every navigation of the upper browser pane goes
// through Run(). A WAV or AIFF link is fetched into the temporary file (downloaded
// for http/https, copied for a local file) and the player is started on it; the
// engine never sees the link then. Everything else, and every link after the
// user chose the default player, goes on to the engine.
#include <QString>

class CHandoffHost;

namespace velmora {

enum class ELinkRoute {
    None,      // not a sound link: the engine handles it
    Download,  // a web address: fetched with libcurl
    Local      // anything else: copied as a file
};

// Classifies a URL on its lower-cased copy: a sound link holds ".aif", ".aiff" or
// ".wav" somewhere after its first character; it is downloaded when it holds
// "http://" or "https://", copied otherwise.
ELinkRoute ClassifyLink(const QString& strUrl);

// The path to copy from: a file:// URL becomes its local path, anything else is
// taken as a path as it stands.
QString LocalPathForCopy(const QString& strUrl);

// Deletes an existing destination (made owner-writable first) and copies the
// source there without overwriting. False when the old file cannot be removed or
// the copy fails; shows nothing.
bool CopyFileReplacing(const QString& strSource, const QString& strDestination);

// The two "player not started" messages.
QString PlayerNotFoundLocalText();
QString PlayerNotFoundDownloadText();

}  // namespace velmora

class CAudioHandoff {
public:
    explicit CAudioHandoff(CHandoffHost& host);

    // The navigation hook. pbCancel arrives false; true on return stops the
    // navigation. The URL is always shown in the address box afterwards.
    void OnBeforeNavigate2(const QString& strUrl, bool* pbCancel);

    // True while a hand-off runs (its download or message box is on screen).
    bool IsBusy() const { return m_bBusy; }

    // Set by a No answer after the player could not be started: from then on
    // the engine handles every link itself, for the rest of the run.
    bool m_bUseDefaultPlayer = false;

private:
    void RunDownloadRoute(const QString& strUrl, bool* pbCancel);
    void RunLocalRoute(const QString& strUrl, bool* pbCancel);

    CHandoffHost& m_host;
    bool m_bBusy = false;
};
