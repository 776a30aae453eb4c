#pragma once
// The player's resources: command identifiers, menu, dialog and string ids,
// the texts the program shows, and the readers' limits and messages.
#include <cstdint>

namespace sonavel {

// Strings every part of the player shows; the analysis computations return
// the identifier as their error code.
inline constexpr int IDS_NOT_ENOUGH_MEMORY = 61446;
inline constexpr const char* STR_NOT_ENOUGH_MEMORY = "Not enough memory to perform the requested task.";
inline constexpr int IDS_MATH_ERROR = 61447;
inline constexpr const char* STR_MATH_ERROR = "Error in Math routine (1000)";

// The analysis window (dialog 130), in dialog units.
inline constexpr int IDD_ANALYSIS = 130;
inline constexpr int ANALYSIS_DLG_WIDTH_DLU = 325;
inline constexpr int ANALYSIS_DLG_HEIGHT_DLU = 175;
inline constexpr const char* STR_ANALYSIS_CAPTION = "Pitch / Spectrogram";
inline constexpr const char* STR_ANALYSIS_TEXT1 =
    "Fixed scale pitch and spectrogram analysis provided by Sonavel from Velmora Speech Tools.";
inline constexpr const char* STR_ANALYSIS_TEXT2 =
    "For complete sound editing and analysis systems providing scales and many options, please go to:";
inline constexpr const char* STR_ANALYSIS_TEXT3 = "WWW.VELMORA.EXAMPLE";

// Dialog units to pixels, with the base units of the 8-point dialog font at
// 96 DPI: 4 horizontal units are 6 px, 8 vertical units are 13 px.
constexpr int DluToPixelsX(int nDlu) { return nDlu * 6 / 4; }
constexpr int DluToPixelsY(int nDlu) { return nDlu * 13 / 8; }

namespace shell {

// Menus, accelerators, icons, dialogs, bitmaps.
constexpr int IDR_MAINFRAME = 128;   // menu, accelerators, icon, title string
constexpr int IDR_SONAVTYPE = 129;   // document template: menu, icon, strings
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDB_ABOUT = 131;

// The player's own commands.
constexpr int ID_PLAY = 32774;
constexpr int ID_ANALYSIS = 32775;

// Standard commands.
constexpr int ID_FILE_NEW = 57600;
constexpr int ID_FILE_OPEN = 57601;
constexpr int ID_FILE_CLOSE = 57602;
constexpr int ID_FILE_SAVE = 57603;
constexpr int ID_FILE_SAVE_AS = 57604;
constexpr int ID_FILE_PRINT_SETUP = 57606;
constexpr int ID_FILE_PRINT = 57607;
constexpr int ID_FILE_PRINT_DIRECT = 57608;
constexpr int ID_FILE_PRINT_PREVIEW = 57609;
constexpr int ID_FILE_MRU_FILE1 = 57616;
constexpr int ID_EDIT_COPY = 57634;
constexpr int ID_EDIT_CUT = 57635;
constexpr int ID_EDIT_PASTE = 57637;
constexpr int ID_EDIT_UNDO = 57643;
constexpr int ID_NEXT_PANE = 57680;
constexpr int ID_PREV_PANE = 57681;
constexpr int ID_WINDOW_NEW = 57648;
constexpr int ID_WINDOW_ARRANGE = 57649;
constexpr int ID_WINDOW_CASCADE = 57650;
constexpr int ID_WINDOW_TILE_HORZ = 57651;
constexpr int ID_APP_ABOUT = 57664;
constexpr int ID_APP_EXIT = 57665;

// Strings.
constexpr const char* kszAppTitle = "Sonavel";              // 128 and 57344
constexpr const char* kszReady = "Ready";                   // 57345
constexpr const char* kszDocStrings = "\nSonav\nSonav\n\n\nSonavel.Document\nSonav Document"; // 129
constexpr const char* kszDocTitleBase = "Sonav";
constexpr const char* kszErrorInPlay = " error in play ";

// Menu 128.
constexpr const char* kszMenuPlay = "Play";
constexpr const char* kszItemPlay = "Play\tCtrl+P";
constexpr const char* kszMenuAnalysis = "Analysis";
constexpr const char* kszItemAnalysis = "Spectrogram-Pitch\tCtrl+A";
constexpr const char* kszMenuAbout = "About";
constexpr const char* kszItemAbout = "&About Sonavel...";

// Menu 129.
constexpr const char* kszMenuFile = "&File";
constexpr const char* kszMenuEdit = "&Edit";
constexpr const char* kszMenuWindow = "&Window";
constexpr const char* kszMenuHelp = "&Help";
constexpr const char* kszItemHelpAbout = "&About SonavelPro...";
constexpr const char* kszItemFileNew = "&New\tCtrl+N";
constexpr const char* kszItemFileOpen = "&Open...\tCtrl+O";
constexpr const char* kszItemFileClose = "&Close";
constexpr const char* kszItemFileSave = "&Save";
constexpr const char* kszItemFileSaveAs = "Save &As...";
constexpr const char* kszItemFilePrint = "&Print...";
constexpr const char* kszItemFilePrintPreview = "Print Pre&view";
constexpr const char* kszItemFilePrintSetup = "P&rint Setup...";
constexpr const char* kszItemAppExit = "E&xit";
constexpr const char* kszItemEditUndo = "&Undo\tCtrl+Z";
constexpr const char* kszItemEditCut = "Cu&t\tCtrl+X";
constexpr const char* kszItemEditCopy = "&Copy\tCtrl+C";
constexpr const char* kszItemEditPaste = "&Paste\tCtrl+V";
constexpr const char* kszItemNextPane = "Next Pane";
constexpr const char* kszItemPrevPane = "Previous Pane";
constexpr const char* kszItemWindowNew = "&New Window";
constexpr const char* kszItemWindowCascade = "&Cascade";
constexpr const char* kszItemWindowTile = "&Tile";
constexpr const char* kszItemWindowArrange = "&Arrange Icons";
constexpr const char* kszRecentFileEmpty = "Recent File";

// The About box (template 100).
constexpr int kAboutWidthDlu = 301;
constexpr int kAboutHeightDlu = 204;
constexpr const char* kszAboutCaption = "About SonavelPro";
constexpr const char* kszAboutVersion = "Sonavel Version 1.0";
constexpr const char* kszAboutPurpose = "For Sonavel and the most powerful speech analysis programs.";
constexpr const char* kszAboutVisit = "Please visit our web site.";
constexpr const char* kszAboutNotice = "\xC2\xA9 2026 Velmora Speech Tools";

// The main bar and where it goes.
constexpr int kMainFrameWidth = 220;
constexpr int kMainFrameHeight = 60;
constexpr int kMainFrameTop = 30;
constexpr int kMainFrameCentring = 200; // the left edge centres this width, not the bar's

// The profile: the recent-file list lives under this organisation.
constexpr const char* kszRegistryKey = "Local AppWizard-Generated Applications";
constexpr const char* kszProfileApp = "Sonavel";
constexpr const char* kszRecentFileSection = "Recent File List";
constexpr const char* kszRecentFileEntry = "File%1";
constexpr int kRecentFileCount = 5;

// Version resource.
constexpr const char* kszVersion = "1.0.0.1";
constexpr const char* kszProductName = "Sonavel Application";

} // namespace shell

// The readers' sizes, limits and messages.
namespace audio {

// The AU reader's two messages; both texts begin and end with a space.
constexpr const char* kszAuNoDataOrChannels = " No data read or more than one channel in this file ";
constexpr const char* kszAuUnsupportedCoding = " Unsupported *.au coding ";

// WAV: the chunk list starts after "RIFF", its length and "WAVE"; the walk gives up
// once its position reaches byte 1000.
constexpr int64_t kRiffChunksStart = 12;
constexpr int64_t kWaveWalkLimit = 1000;
constexpr unsigned kWaveFormatRecordBytes = 18;
constexpr unsigned kWaveFormatMinBytes = 16; // up to and including wBitsPerSample

// AIFF/AIFC: passes of the bounded chunk scan, fixed read sizes.
constexpr int kAiffScanBudget = 15;
constexpr unsigned kAiffFormHeaderBytes = 12;
constexpr unsigned kAiffCommBytes = 26;
constexpr unsigned kAifcCommBytes = 46;
constexpr unsigned kAiffSsndHeaderBytes = 16;
constexpr unsigned kAiffFverBytes = 12;

// AU: the six 32-bit header fields.
constexpr uint32_t kAuMinDataOffset = 24;

// Fixed-header PCM: the header buffer shared by both byte orders.
constexpr unsigned kFixedHeaderBytes = 6480;
constexpr uint32_t kFixedFormatLE = 10;
constexpr uint32_t kFixedFormatBE = 20;

// Samples are converted through a buffer of this size, small enough to stay in
// the cache, large enough that system calls do not count.
constexpr unsigned kConvertChunkBytes = 256 * 1024;

} // namespace audio

} // namespace sonavel
