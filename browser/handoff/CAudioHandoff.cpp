#include "browser/handoff/CAudioHandoff.h"

#include "browser/handoff/CHandoffHost.h"
#include "browser/handoff/CSoundDownload.h"
#include "browser/handoff/PlayerCommandLine.h"
#include "browser/startup/VelmoraResource.h"

#include "common/SoundLinks.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace velmora {

namespace {

// True when strMarker occurs somewhere after the first character.
bool ContainsAfterFirst(const QString& strLower, const char* szMarker)
{
    return strLower.indexOf(QLatin1String(szMarker), 1) > 0;
}

// A sound link's marker anywhere after the first character (WAV, AIFF), or
// where strPath ends (the newer formats); see common/SoundLinks.h.
bool HasSoundMarker(const QString& strText, bool bAnywhere)
{
    const QString strLower = strText.toLower();
    std::size_t nCount = 0;
    const sonavel::format::CSoundLinkFormat* pLinks = sonavel::format::SoundLinkFormats(nCount);
    for (std::size_t i = 0; i < nCount; ++i) {
        if (pLinks[i].bAnywhere != bAnywhere)
            continue;
        for (const char* szMarker : pLinks[i].aszMarkers)
            if (szMarker && (bAnywhere ? ContainsAfterFirst(strLower, szMarker)
                                       : strLower.endsWith(QLatin1String(szMarker))))
                return true;
    }
    return false;
}

bool IsSoundName(const QString& strText) { return HasSoundMarker(strText, true); }

bool HasNewSoundEnding(const QString& strPath) { return HasSoundMarker(strPath, false); }

}  // namespace

bool IsFileUrl(const QString& strUrl)
{
    return strUrl.startsWith(QLatin1String("file:"), Qt::CaseInsensitive);
}

bool IsWebAddress(const QString& strUrl)
{
    const QString strScheme = QUrl(strUrl).scheme().toLower();
    return strScheme == QLatin1String("http") || strScheme == QLatin1String("https");
}

namespace {

// Whether strReal, a real path, lies in the real folder of the page at strPageUrl.
bool IsRealPathInPageFolder(const QString& strReal, const QString& strPageUrl)
{
    const QUrl page(strPageUrl);
    if (!page.isLocalFile() || strReal.isEmpty())
        return false;
    QString strFolder = QFileInfo(QFileInfo(page.toLocalFile()).absolutePath()).canonicalFilePath();
    if (strFolder.isEmpty())
        return false;
    if (!strFolder.endsWith(QLatin1Char('/')))
        strFolder += QLatin1Char('/');
    return strReal.startsWith(strFolder);
}

}  // namespace

bool IsInPageFolder(const QString& strPath, const QString& strPageUrl)
{
    // The engine follows links, so only where they lead counts.
    return IsRealPathInPageFolder(QFileInfo(strPath).canonicalFilePath(), strPageUrl);
}

ELinkRoute ClassifyLink(const QString& strUrl)
{
    if (IsFileUrl(strUrl)) {
        // "file:///home/u/notes.txt#x.wav" names notes.txt: only the path counts.
        const QUrl url(strUrl);
        if (!url.isLocalFile() || !(url.host().isEmpty() || url.host() == QLatin1String("localhost")))
            return ELinkRoute::None;
        return IsSoundName(url.path()) || HasNewSoundEnding(url.path()) ? ELinkRoute::Local : ELinkRoute::None;
    }
    if (!IsSoundName(strUrl) && !HasNewSoundEnding(QUrl(strUrl).path()))
        return ELinkRoute::None;
    const QString strLower = strUrl.toLower();
    if (strLower.contains(QLatin1String("http://")) || strLower.contains(QLatin1String("https://")))
        return ELinkRoute::Download;
    return ELinkRoute::Local;
}

QString LocalPathForCopy(const QString& strUrl)
{
    if (IsFileUrl(strUrl)) {
        const QUrl url(strUrl);
        if (url.isLocalFile())
            return url.toLocalFile();
    }
    return strUrl;
}

QString PlayerNotFoundLocalText()
{
    return QStringLiteral(
               "Sonavel.exe was not found.\nPlease make sure that this application exists in the same "
               "directory\nas Velmora.exe.\nIf not please contact ") +
           QLatin1String(kWebHost) + QStringLiteral(" to download it");
}

QString PlayerNotFoundDownloadText()
{
    return QStringLiteral(
               "Sonavel.exe was not found or failed to play the file.\nPlease make sure that this "
               "application exists in the same directory as Velmora.exe.\nIf not please contact ") +
           QLatin1String(kWebHost) +
           QStringLiteral(" to download it\n\n Do you wish to continue using Sonavel as the player or use the default ?");
}

QString WriteFailedText(const QString& strFolder, const QString& strReason)
{
    return QStringLiteral("The sound could not be saved in the folder\n%1\n(%2).\n\nThe page will open the link itself.")
        .arg(QDir::toNativeSeparators(strFolder), strReason);
}

QString TooLargeText(const QString& strUrl, qint64 nCap)
{
    return QStringLiteral("The sound at\n%1\nis larger than %2 MB, all that may be downloaded now (at most 4 GB, and "
                          "64 MB of the disk stay free).\nIt was not played.")
        .arg(strUrl)
        .arg(nCap >> 20);
}

QString TooSlowText(const QString& strUrl, int nBytesPerSecond, int nSeconds)
{
    return QStringLiteral("The download of\n%1\nwas stopped: it stayed under %2 bytes a second for %3 seconds.")
        .arg(strUrl)
        .arg(nBytesPerSecond)
        .arg(nSeconds);
}

}  // namespace velmora

using namespace velmora;

CAudioHandoff::CAudioHandoff(CHandoffHost& host) : m_host(host) {}

void CAudioHandoff::OnBeforeNavigate2(const QString& strUrl, bool* pbCancel, ENavigationSource source, bool bUserAsked,
                                      const QString& strPageUrl)
{
    // A navigation that arrives while a hand-off is still waiting for its
    // download or message box is refused: the page must not move under it,
    // and two hand-offs would write one temporary file.
    if (m_bBusy) {
        *pbCancel = true;
        return;
    }
    // A web page asked for a local file: refused, as the engine refuses it,
    // before anything is read. Other addresses it asks for may be downloaded,
    // never copied.
    if (source == ENavigationSource::WebPage && IsFileUrl(strUrl)) {
        *pbCancel = true;
        return;
    }
    ELinkRoute route = ClassifyLink(strUrl);
    if (source == ENavigationSource::WebPage && route == ELinkRoute::Local)
        route = ELinkRoute::None;
    // A page on this computer may have read the user's files: whatever it
    // asks of the web could carry them, in the address of our own download as
    // much as in a page's. The user's click changes nothing.
    if (source == ENavigationSource::LocalPage && (route == ELinkRoute::Download || IsWebAddress(strUrl))) {
        *pbCancel = true;
        if (route != ELinkRoute::None && !m_bUseDefaultPlayer)
            m_host.OnSoundRefused(strUrl, ESoundRefusal::WebSoundFromLocalPage);
        else if (IsWebAddress(strUrl))
            m_host.OnWebAddressFromLocalPage(strUrl);
        return;
    }
    if (route != ELinkRoute::None && !m_bUseDefaultPlayer && !bUserAsked) {
        *pbCancel = true;
        m_host.OnSoundRefused(strUrl, ESoundRefusal::NotAsked);
        return;
    }
    // A local file is resolved to its real path once; that path is what is
    // checked and what the copy reads. A local page's sounds come from its own
    // folder, as its pictures do. A missing file is left to the copy below
    // (and then to the engine).
    SCheckedFile checked;
    if (route == ELinkRoute::Local && !m_bUseDefaultPlayer) {
        checked = CheckLocalFile(LocalPathForCopy(strUrl));
        if (source == ENavigationSource::LocalPage && checked.IsFound() &&
            !IsRealPathInPageFolder(checked.strRealPath, strPageUrl)) {
            *pbCancel = true;
            m_host.OnSoundRefused(strUrl, ESoundRefusal::OutsidePageFolder);
            return;
        }
    }
    if (route != ELinkRoute::None && !m_bUseDefaultPlayer) {
        bool bRefused = false;
        m_bBusy = true;
        try {
            if (route == ELinkRoute::Download)
                RunDownloadRoute(strUrl, pbCancel);
            else
                bRefused = !RunLocalRoute(strUrl, checked, source, pbCancel);
        } catch (...) {
            // Any failure on the way ends the route silently; the cancel flag
            // keeps what it had, so the engine usually handles the link itself.
            // Caught here because the engine's navigation callback must not be
            // left by an exception: the engine would end the browser.
        }
        m_bBusy = false;
        if (bRefused)
            return;
    }
    m_host.ShowAddress(strUrl);
}

void CAudioHandoff::RunDownloadRoute(const QString& strUrl, bool* pbCancel)
{
    const QString strTemp = m_host.TempFilePath();
    CSoundDownload download(m_host, strUrl, strTemp);
    download.SetLimits(m_nCap, m_nLowSpeedBytes, m_nLowSpeedSeconds);
    switch (download.Run()) {
    case EDownloadResult::Failed:
    case EDownloadResult::NotASound:
        return;  // the engine gets the link; the last sound stays
    case EDownloadResult::TooLarge:
        m_host.HandoffMessageBox(TooLargeText(strUrl, download.Cap()), kHandoffMbOk);
        *pbCancel = true;
        return;
    case EDownloadResult::TooSlow:
        m_host.HandoffMessageBox(TooSlowText(strUrl, download.LowSpeedBytes(), download.LowSpeedSeconds()), kHandoffMbOk);
        *pbCancel = true;
        return;
    case EDownloadResult::WriteFailed:
        m_host.HandoffMessageBox(WriteFailedText(download.WriteFolder(), download.WriteError()), kHandoffMbOk);
        return;  // the engine gets the link
    case EDownloadResult::Cancelled:
        *pbCancel = true;  // the user chose to have nothing
        return;
    case EDownloadResult::Complete:
        break;
    }
    if (m_host.StartPlayer(PlayerArguments(strTemp, LinkSoundName(strUrl), strUrl))) {
        *pbCancel = true;
        return;
    }
    if (m_host.HandoffMessageBox(PlayerNotFoundDownloadText(), kHandoffMbYesNo) == kHandoffIdNo) {
        m_bUseDefaultPlayer = true;
        *pbCancel = false;
    } else {
        *pbCancel = true;
    }
}

bool CAudioHandoff::RunLocalRoute(const QString& strUrl, const SCheckedFile& checked, ENavigationSource source,
                                  bool* pbCancel)
{
    const QString strTemp = m_host.TempFilePath();
    // A copy that fails starts nothing: the player would otherwise play
    // whatever an earlier hand-off left in the file. A missing source goes to
    // the engine silently; a folder that cannot take the copy is said.
    QString strWriteError;
    switch (CopyCheckedFile(checked, strTemp, &strWriteError)) {
    case ELocalCopy::Copied:
        break;
    case ELocalCopy::NoSound:
        return true;
    case ELocalCopy::NotTheCheckedFile:
        // Swapped since the check: for a local page's link, where it leads now
        // is unchecked and may lie outside the page's folder.
        if (source != ENavigationSource::LocalPage)
            return true;
        *pbCancel = true;
        m_host.OnSoundRefused(strUrl, ESoundRefusal::OutsidePageFolder);
        return false;
    case ELocalCopy::WriteFailed:
        m_host.HandoffMessageBox(WriteFailedText(QFileInfo(strTemp).absolutePath(), strWriteError), kHandoffMbOk);
        return true;
    }
    // The player shows the name the user clicked, not "tempFile".
    if (m_host.StartPlayer(PlayerArguments(strTemp, LocalSoundName(LocalPathForCopy(strUrl)), strUrl))) {
        *pbCancel = true;
        return true;
    }
    m_host.HandoffMessageBox(PlayerNotFoundLocalText(), kHandoffMbOk);
    return true;
}
