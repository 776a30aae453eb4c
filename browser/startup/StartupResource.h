#pragma once
// Identifiers, texts and sizes of the browser's start-up: the application
// object, the splash, the connection check and its status window.

namespace velmora {

// Profile: organisation and application of QSettings (native format).
inline constexpr const char kProfileOrganization[] = "Velmora";
inline constexpr const char kProfileApplication[] = "Velmora";
inline constexpr const char kHomePageSection[] = "Home Page";
inline constexpr const char kHomePageEntry[] = "Local";
inline constexpr const char kRecentFileSection[] = "Recent File List";
inline constexpr int kRecentFileCount = 4;
inline constexpr const char kConnectionSection[] = "Connection";
inline constexpr const char kFtpHostEntry[] = "FtpHost";

// Settings file beside the start-up directory.
inline constexpr const char kSettingsFileName[] = "Velmora.ini";
inline constexpr const char kSettingsHomeKey[] = "HomeLocal";
inline constexpr const char kSettingsHomeValue[] = "HomeAddressTop";

// A bare host name, as typed into an address box; a reserved name, so it can
// never lead a user to a stranger's server.
inline constexpr const char kDefaultHomeAddress[] = "www.velmora.example";

// Splash (dialog 150) showing picture 104 of 413 x 235 pixels.
inline constexpr int IDD_SPLASH = 150;
inline constexpr int IDB_SPLASH = 104;
inline constexpr int kSplashPictureWidth = 413;
inline constexpr int kSplashPictureHeight = 235;
inline constexpr int kSplashCloseDelayMs = 1000;

// Connection check and its status window (dialog 133, text control 1002).
inline constexpr int IDD_CONNECT_STATUS = 133;
inline constexpr int IDC_CONNECT_STATUS = 1002;
inline constexpr const char kStatusConnecting[] = "Connecting to the internet.\nPlease wait...";
inline constexpr const char kStatusEstablished[] = "Connection established.";
inline constexpr const char kStatusFailed[] = "Connection failed.";
inline constexpr int kStatusPauseMs = 2000;
inline constexpr const char kDefaultFtpHost[] = "ftp.gnu.org";
inline constexpr long kFtpConnectTimeoutSeconds = 15;
inline constexpr int kStopWaitMs = 5000;

inline constexpr const char kErrorSettingRegistry[] = "Error in setting the registry";

// Dialog units of 8-point "MS Sans Serif" at 96 DPI: 4 horizontal units = 6 px,
// 8 vertical units = 13 px.
constexpr int DluToPxX(int nUnits) { return (nUnits * 6 + 2) / 4; }
constexpr int DluToPxY(int nUnits) { return (nUnits * 13 + 4) / 8; }

} // namespace velmora
