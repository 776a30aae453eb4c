#pragma once
// Command ids, control ids and fixed texts of the browser window. The numbers
// are the browser's own command ids (File, Edit and Help use the framework's
// standard ones), kept so that menus, accelerators and tests speak one language.

namespace velmora {

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
inline constexpr int ID_VIEW_TOOLBAR = 59392;
inline constexpr int ID_VIEW_STATUS_BAR = 59393;

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

// Favourites commands: id = ID_FAVORITE_FIRST + position in m_favoriteUrls.
inline constexpr int ID_FAVORITE_FIRST = 3584;
inline constexpr int ID_FAVORITE_LAST = 4095;

// Control ids.
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDR_FONT_POPUP = 132;
inline constexpr int IDW_TOOLBAR = 59392;
inline constexpr int IDW_STATUS_BAR = 59393;
inline constexpr int IDW_ADDRESS_BOX = 59393;
inline constexpr int IDW_REBAR = 59396;
inline constexpr int IDW_PANE_FIRST = 59648;

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
inline constexpr const char* kWebHost = "www.velmora.example";
inline constexpr const char* kWebHostCaps = "WWW.VELMORA.EXAMPLE";

// Where Search goes: a plain search page that needs no account or cookies.
inline constexpr const char* kSearchPage = "https://duckduckgo.com/";

// Zoom level 0 (smallest) to 4 (largest) as page zoom factors; 2 is the page's own size.
inline constexpr double kZoomFactors[5] = {0.75, 0.875, 1.0, 1.25, 1.5};

}  // namespace velmora
