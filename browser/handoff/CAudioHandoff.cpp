#include "browser/handoff/CAudioHandoff.h"

#include "browser/handoff/CHandoffHost.h"
#include "browser/handoff/CSoundDownload.h"
#include "browser/startup/VelmoraResource.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <filesystem>
#include <system_error>

namespace velmora {

namespace {

// True when strMarker occurs somewhere after the first character.
bool ContainsAfterFirst(const QString& strLower, const char* szMarker)
{
    return strLower.indexOf(QLatin1String(szMarker), 1) > 0;
}

}  // namespace

ELinkRoute ClassifyLink(const QString& strUrl)
{
    const QString strLower = strUrl.toLower();
    // ".aiff" contains ".aif", so two markers cover the three endings.
    const bool bSound = ContainsAfterFirst(strLower, ".aif") || ContainsAfterFirst(strLower, ".wav");
    if (!bSound)
        return ELinkRoute::None;
    if (strLower.contains(QLatin1String("http://")) || strLower.contains(QLatin1String("https://")))
        return ELinkRoute::Download;
    return ELinkRoute::Local;
}

QString LocalPathForCopy(const QString& strUrl)
{
    if (strUrl.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QUrl url(strUrl);
        if (url.isLocalFile())
            return url.toLocalFile();
    }
    return strUrl;
}

bool CopyFileReplacing(const QString& strSource, const QString& strDestination)
{
    namespace fs = std::filesystem;
    const fs::path dest = QFile::encodeName(strDestination).toStdString();
    std::error_code ec;
    // Making it writable succeeds only when the file exists; then it must go.
    fs::permissions(dest, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace, ec);
    if (!ec && !fs::remove(dest, ec))
        return false;
    if (ec)
        ec.clear();
    const fs::path src = QFile::encodeName(strSource).toStdString();
    // Only regular files: a directory or a device is no sound to copy.
    if (!fs::is_regular_file(src, ec))
        return false;
    return fs::copy_file(src, dest, fs::copy_options::none, ec) && !ec;
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

}  // namespace velmora

using namespace velmora;

CAudioHandoff::CAudioHandoff(CHandoffHost& host) : m_host(host) {}

void CAudioHandoff::OnBeforeNavigate2(const QString& strUrl, bool* pbCancel)
{
    // A navigation that arrives while a hand-off is still waiting for its
    // download or message box is refused: the page must not move under it,
    // and two hand-offs would write one temporary file.
    if (m_bBusy) {
        *pbCancel = true;
        return;
    }
    const ELinkRoute route = ClassifyLink(strUrl);
    if (route != ELinkRoute::None && !m_bUseDefaultPlayer) {
        m_bBusy = true;
        try {
            if (route == ELinkRoute::Download)
                RunDownloadRoute(strUrl, pbCancel);
            else
                RunLocalRoute(strUrl, pbCancel);
        } catch (...) {
            // Any failure on the way ends the route silently; the cancel flag
            // keeps what it had, so the engine usually handles the link itself.
        }
        m_bBusy = false;
    }
    m_host.ShowAddress(strUrl);
}

void CAudioHandoff::RunDownloadRoute(const QString& strUrl, bool* pbCancel)
{
    const QString strTemp = m_host.TempFilePath();
    CSoundDownload download(m_host, strUrl, strTemp);
    switch (download.Run()) {
    case EDownloadResult::Failed:
        return;  // the engine gets the link
    case EDownloadResult::Cancelled:
        *pbCancel = true;  // the user chose to have nothing
        return;
    case EDownloadResult::Complete:
        break;
    }
    if (m_host.StartPlayer(strTemp)) {
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

void CAudioHandoff::RunLocalRoute(const QString& strUrl, bool* pbCancel)
{
    const QString strTemp = m_host.TempFilePath();
    // A copy that fails starts nothing: the player would otherwise play
    // whatever an earlier hand-off left in the file.
    if (!CopyFileReplacing(LocalPathForCopy(strUrl), strTemp))
        return;
    if (m_host.StartPlayer(strTemp)) {
        *pbCancel = true;
        return;
    }
    m_host.HandoffMessageBox(PlayerNotFoundLocalText(), kHandoffMbOk);
}
