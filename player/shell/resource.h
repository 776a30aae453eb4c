#pragma once
// The shell's resources: command identifiers, menu, dialog and string ids and
// the texts the shell shows. The readers' and the analysis' own texts live in
// their layers; they are included here for the shell's convenience.
//
// Constants only: nothing to own, any thread may read them.
#include <cstdint>

#include "player/analysis/model/AnalysisResource.h"
#include "player/audio/AudioResource.h"

namespace sonavel {

namespace shell {

// Menus, accelerators, icons, dialogs, bitmaps.
constexpr int IDR_MAINFRAME = 128;   // menu, accelerators, icon, title string
constexpr int IDR_SONAVTYPE = 129;   // document template: menu, icon, strings
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDB_ABOUT = 131;

// The player's own commands.
constexpr int ID_PLAY = 32774;
constexpr int ID_ANALYSIS = 32775;
constexpr int ID_MEASURE = 32776;
constexpr int ID_STOP = 32777;

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

// Menu 128. Item texts are their words alone: the menu shows each command's
// shortcut beside them, and screen readers get it as the item's key binding.
// The marked letters open the menus with Alt.
constexpr const char* kszMenuPlay = "&Play";
constexpr const char* kszItemPlay = "Play";
constexpr const char* kszItemStop = "Stop";
constexpr const char* kszMenuAnalysis = "&Analysis";
constexpr const char* kszItemAnalysis = "Spectrogram-Pitch";
constexpr const char* kszItemMeasure = "Measure\xE2\x80\xA6";
constexpr const char* kszMenuAbout = "A&bout";
constexpr const char* kszItemAbout = "&About Sonavel...";

// Menu 129.
constexpr const char* kszMenuFile = "&File";
constexpr const char* kszMenuEdit = "&Edit";
constexpr const char* kszMenuWindow = "&Window";
constexpr const char* kszMenuHelp = "&Help";
constexpr const char* kszItemHelpAbout = "&About SonavelPro...";
constexpr const char* kszItemFileNew = "&New";
constexpr const char* kszItemFileOpen = "&Open...";
constexpr const char* kszItemFileClose = "&Close";
constexpr const char* kszItemFileSave = "&Save";
constexpr const char* kszItemFileSaveAs = "Save &As...";
constexpr const char* kszItemFilePrint = "&Print...";
constexpr const char* kszItemFilePrintPreview = "Print Pre&view";
constexpr const char* kszItemFilePrintSetup = "P&rint Setup...";
constexpr const char* kszItemAppExit = "E&xit";
constexpr const char* kszItemEditUndo = "&Undo";
constexpr const char* kszItemEditCut = "Cu&t";
constexpr const char* kszItemEditCopy = "&Copy";
constexpr const char* kszItemEditPaste = "&Paste";
constexpr const char* kszItemNextPane = "Next Pane";
constexpr const char* kszItemPrevPane = "Previous Pane";
constexpr const char* kszItemWindowNew = "&New Window";
constexpr const char* kszItemWindowCascade = "&Cascade";
constexpr const char* kszItemWindowTile = "&Tile";
constexpr const char* kszItemWindowArrange = "&Arrange Icons";
constexpr const char* kszRecentFileEmpty = "Recent File";
constexpr const char* kszItemMenuBar = "Menu Bar";                   // F10
constexpr const char* kszDocumentArea = "Document windows";          // the bar's client area, named for screen readers

// The About box (template 100).
constexpr int kAboutWidthDlu = 301;
constexpr int kAboutHeightDlu = 204;
constexpr const char* kszAboutCaption = "About SonavelPro";
constexpr const char* kszAboutVersion = "Sonavel Version 1.0";
constexpr const char* kszAboutPurpose = "For Sonavel and the most powerful speech analysis programs.";
constexpr const char* kszAboutVisit = "Please visit our web site.";
constexpr const char* kszAboutNotice = "\xC2\xA9 2026 Velmora Speech Tools";
constexpr const char* kszAboutPictureName = "Sonavel picture";       // bitmap 131, for screen readers

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

} // namespace sonavel
