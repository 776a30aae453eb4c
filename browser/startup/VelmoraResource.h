#pragma once
// Identifiers, texts and sizes of the whole browser, in one place: the profile,
// start-up, the connection check, the main window and its commands, the lower
// pane, the favourites and the dialogs. The command ids are the browser's own
// (File, Edit and Help use the framework's standard ones), kept so that menus,
// accelerators and tests speak one language.
//
// Constants only: nothing to own, any thread may read them.

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

// The maker's web host: a reserved name, so it can never lead a user to a
// stranger's server. Also the built-in home address, as typed into an address box.
inline constexpr const char kWebHost[] = "www.velmora.example";
inline constexpr const char* kDefaultHomeAddress = kWebHost;

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



// Standard framework commands.
inline constexpr int ID_FILE_NEW = 57600;
inline constexpr int ID_FILE_OPEN = 57601;
inline constexpr int ID_FILE_SAVE = 57603;
inline constexpr int ID_FILE_SAVE_AS = 57604;
inline constexpr int ID_FILE_PAGE_SETUP = 57606;
inline constexpr int ID_FILE_PRINT = 57607;
inline constexpr int ID_FILE_MRU_FILE1 = 57616;
inline constexpr int ID_APP_EXIT = 57665;
inline constexpr int ID_EDIT_UNDO = 57643;
inline constexpr int ID_EDIT_CUT = 57635;
inline constexpr int ID_EDIT_COPY = 57634;
inline constexpr int ID_EDIT_PASTE = 57637;
inline constexpr int ID_NEXT_PANE = 57680;
inline constexpr int ID_PREV_PANE = 57681;
inline constexpr int ID_CONTEXT_HELP = 57669;
inline constexpr int ID_HELP = 57670;
inline constexpr int ID_HELP_FINDER = 57667;
inline constexpr int ID_APP_ABOUT = 57664;

// The browser's own commands.
inline constexpr int ID_OPTIONS_PREFERENCES = 32778;
inline constexpr int ID_GO_REFRESH = 32779;
inline constexpr int ID_GO_STOP = 32780;
inline constexpr int ID_FONT_LARGEST = 32782;
inline constexpr int ID_FONT_LARGER = 32783;
inline constexpr int ID_FONT_MEDIUM = 32784;
inline constexpr int ID_FONT_SMALLER = 32785;
inline constexpr int ID_FONT_SMALLEST = 32786;
inline constexpr int ID_GO_BACK = 32787;
inline constexpr int ID_GO_FORWARD = 32788;
inline constexpr int ID_GO_HOME = 32789;
inline constexpr int ID_GO_SEARCH = 32790;
inline constexpr int ID_FAVORITES_DROPDOWN = 32792;
inline constexpr int ID_FONT_DROPDOWN = 32793;

// Favourites commands: position p of the scanned shortcuts gets id
// kFavoriteFirstId + p. Only ids up to kFavoriteLastId have a handler; later
// entries are shown greyed.
inline constexpr int kFavoriteFirstId = 3584;
inline constexpr int kFavoriteLastId = 4095;

// Position of the View popup in the menu bar; it carries the favourites.
inline constexpr int kFavoritesMenuPosition = 3;

// Toolbar images: 22 pixels wide, 20 high; buttons 50 to 150 pixels wide.
inline constexpr int kToolbarImageWidth = 22;
inline constexpr int kToolbarImageHeight = 20;
inline constexpr int kToolbarButtonMinWidth = 50;
inline constexpr int kToolbarButtonMaxWidth = 150;

// Strings.
inline constexpr const char* IDS_BACK = "Back";            // 748
inline constexpr const char* IDS_FORWARD = "Forward";      // 749
inline constexpr const char* IDS_STOP = "Stop";            // 750
inline constexpr const char* IDS_REFRESH = "Refresh";      // 751
inline constexpr const char* IDS_HOME = "Home";            // 752
inline constexpr const char* IDS_SEARCH = "Search";        // 753
inline constexpr const char* IDS_FAVORITES = "Favorites";  // 754
inline constexpr const char* IDS_PRINT = "Print";          // 755
inline constexpr const char* IDS_FONT = "Font";            // 756
inline constexpr const char* IDS_ADDRESS = "Address";      // 61446
// 61447: the open dialog's filter, in "name|patterns|...||" form.
inline constexpr const char* IDS_OPEN_FILTER =
    "HTML Files|*.htm;*.html|Text Files|*.txt|GIF Files|*.gif|JPEG Files|*.jpg;*.jpeg|"
    "AU Files|*.au|AIFF Files|*.aif;*.aiff|XBM Files|*.xbm|All Files|*.*||";

inline constexpr const char* kFrameTitle = "Velmora";

// Where Search goes: a plain search page that needs no account or cookies.
inline constexpr const char* kSearchPage = "https://duckduckgo.com/";

// Zoom level 0 (smallest) to 4 (largest) as page zoom factors; 2 is the page's own size.
inline constexpr double kZoomFactors[5] = {0.75, 0.875, 1.0, 1.25, 1.5};

// About box: texts and the link's character height in pixels. Its picture is
// the splash picture.
inline constexpr const char* kAboutCaption = "About Velmora";
inline constexpr const char* kAboutVersion = "Version #3.1";
inline constexpr const char* kAboutRelease = "Release : 8-12-2004";
inline constexpr const char* kAboutNotice = "\u00A9 2026 Velmora Speech Tools";
inline constexpr int kAboutLinkFontHeight = 24;

// The lower pane: its toolbar (five buttons of 17 x 15 pixels from one
// 85 x 15 strip) and where its home pages are.
inline constexpr int kLowerImageWidth = 17;
inline constexpr int kLowerImageHeight = 15;
inline constexpr int ID_LOWER_BACK = 32771;
inline constexpr int ID_LOWER_FORWARD = 32772;
inline constexpr int ID_LOWER_REFRESH = 32773;
inline constexpr int ID_LOWER_STOP = 32774;
inline constexpr int ID_LOWER_HOME = 32775;
inline constexpr const char* kLocalSiteFolder = "Korvath";
inline constexpr const char* kLocalHomeText = "index.htm";
inline constexpr const char* kOnlineHomePath = "/velmora/velmora_home.htm";

// Dialog units, the one conversion of the browser's dialogs: 8-point
// "MS Sans Serif" at 96 DPI, 4 horizontal units = 6 px, 8 vertical units = 13 px,
// rounded to the nearest pixel.
constexpr int DluToPxX(int nUnits) { return (nUnits * 6 + 2) / 4; }
constexpr int DluToPxY(int nUnits) { return (nUnits * 13 + 4) / 8; }

} // namespace velmora
