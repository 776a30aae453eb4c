#pragma once
// The hand-off of sound links: every navigation of the upper browser pane goes
// through OnBeforeNavigate2(). A WAV or AIFF link is fetched into the temporary
// file (downloaded for http/https, copied for a local file) and the player is
// started on it, at the span a media fragment names (MediaFragment.h); the
// engine never sees the link then. Everything else, and every link after the
// user chose the default player, goes on to the engine.
//
// UI thread only; the view owns it, and the host it is given must outlive it. Its
// download runs on a thread of its own inside Run while the UI thread waits.
#include "browser/handoff/LocalSoundCopy.h"

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
// "http://" or "https://", copied otherwise. A file: URL is judged on the path
// it names alone (its query and fragment name no file) and is always copied;
// one naming another host is no local file at all.
ELinkRoute ClassifyLink(const QString& strUrl);

// Who asked for a navigation: the browser itself (a typed address, Home, a
// favourite, File Open, Back, Forward, Refresh), a page from the web, or a page
// on this computer (a file: page).
enum class ENavigationSource { Browser, WebPage, LocalPage };

// True for a file: URL (any case).
bool IsFileUrl(const QString& strUrl);

// True for an http or https address (any case).
bool IsWebAddress(const QString& strUrl);

// Whether the local file strPath lies in the folder of the page at pageUrl or
// below it, by real paths (links resolved). False when either is missing or
// the page is no local file.
bool IsInPageFolder(const QString& strPath, const QString& strPageUrl);

// The path to copy from: a file:// URL becomes its local path, anything else is
// taken as a path as it stands.
QString LocalPathForCopy(const QString& strUrl);

// The two "player not started" messages.
QString PlayerNotFoundLocalText();
QString PlayerNotFoundDownloadText();
// The sound could not be written into strFolder, for strReason.
QString WriteFailedText(const QString& strFolder, const QString& strReason);
// The download passed the cap of nCap bytes, or announced more.
QString TooLargeText(const QString& strUrl, qint64 nCap);
// The download stayed under the lowest speed for too long.
QString TooSlowText(const QString& strUrl, int nBytesPerSecond, int nSeconds);

}  // namespace velmora

class CAudioHandoff {
public:
    explicit CAudioHandoff(CHandoffHost& host);

    // The navigation hook. pbCancel arrives false; true on return stops the
    // navigation. source: who asked for it (a page's link, script, frame,
    // redirect or pop-up acts for that page); strPageUrl: that page's address.
    // - A web page never reaches a local file: a file: address is refused
    //   outright and nothing else takes the local route.
    // - A local page never reaches the web: a web sound is refused (reported
    //   to the host, whatever the user pressed), any other web address is
    //   cancelled and left to the host (OnWebAddressFromLocalPage); a local
    //   sound is handed off only from the page's own folder or below.
    // bUserAsked: the user asked for it (a click or key press, a typed address,
    // Home, a favourite, File Open); a sound link the page opened by itself is
    // cancelled. Refused sounds are reported (OnSoundRefused). The URL is
    // shown in the address box afterwards, except for a refused request.
    void OnBeforeNavigate2(const QString& strUrl, bool* pbCancel,
                           velmora::ENavigationSource source = velmora::ENavigationSource::Browser,
                           bool bUserAsked = true, const QString& strPageUrl = QString());

    // True while a hand-off runs (its download or message box is on screen).
    bool IsBusy() const { return m_bBusy; }

    // Tests make the download's limits small (see CSoundDownload::SetLimits).
    void SetDownloadLimits(qint64 nCap, int nLowSpeedBytes, int nLowSpeedSeconds)
    {
        m_nCap = nCap;
        m_nLowSpeedBytes = nLowSpeedBytes;
        m_nLowSpeedSeconds = nLowSpeedSeconds;
    }

    // Set by a No answer after the player could not be started: from then on
    // the engine handles every link itself, for the rest of the run.
    bool m_bUseDefaultPlayer = false;

private:
    void RunDownloadRoute(const QString& strUrl, bool* pbCancel);
    // False when the sound was refused (the address is then not shown).
    bool RunLocalRoute(const QString& strUrl, const velmora::SCheckedFile& checked, velmora::ENavigationSource source,
                       bool* pbCancel);

    CHandoffHost& m_host;
    bool m_bBusy = false;
    qint64 m_nCap = -1;
    int m_nLowSpeedBytes = 1024;
    int m_nLowSpeedSeconds = 30;
};
