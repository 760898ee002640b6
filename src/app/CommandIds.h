#pragma once

// Command ids of the menus, the toolbar and the accelerators.
namespace cmd {
inline constexpr int kFileNew = 57600;
inline constexpr int kFileOpen = 57601;
inline constexpr int kFileClose = 57602;
inline constexpr int kFileSave = 57603;
inline constexpr int kFilePrintSetup = 57606;
inline constexpr int kFilePrint = 57607;
inline constexpr int kFilePrintPreview = 57609;
inline constexpr int kEditCopy = 57634;
inline constexpr int kEditCut = 57635;
inline constexpr int kEditPaste = 57637;
inline constexpr int kEditUndo = 57643;
inline constexpr int kEditRedo = 57644;
inline constexpr int kWindowNew = 57648;
inline constexpr int kWindowArrange = 57649;
inline constexpr int kWindowCascade = 57650;
inline constexpr int kWindowTile = 57651;
inline constexpr int kAppAbout = 57664;
inline constexpr int kAppExit = 57665;
inline constexpr int kViewToolbar = 59392;
inline constexpr int kViewStatusBar = 59393;
inline constexpr int kFileMerge = 32776;
inline constexpr int kViewBaseAddress = 32777;
inline constexpr int kViewLowerCase = 32778;
inline constexpr int kViewHex = 32779;
inline constexpr int kViewAscii = 32780;
inline constexpr int kViewJumps = 32781;
inline constexpr int kEditFind = 32783;
inline constexpr int kEditFindNext = 32784;
inline constexpr int kViewCallStack = 32785;
inline constexpr int kViewBitmap = 32786;
inline constexpr int kViewRegisters = 32787;
inline constexpr int kViewWarnings = 32788;
inline constexpr int kDebugStart = 32789;
inline constexpr int kDebugAnimate = 32790;
inline constexpr int kDebugStepInto = 32791;
inline constexpr int kDebugStepOver = 32792;
inline constexpr int kDebugStepToCursor = 32793;
inline constexpr int kDebugBreak = 32794;
inline constexpr int kDebugStop = 32795;
inline constexpr int kJumpList = 32796;
inline constexpr int kTaskList = 32797;
inline constexpr int kFileFixInfo = 32798;
inline constexpr int kViewSystemStrings = 32799;
inline constexpr int kViewMemory = 32800;
inline constexpr int kDebugSkipToCursor = 32801;
inline constexpr int kFileExport = 32803;
inline constexpr int kFileSaveRam = 32804;
inline constexpr int kFileLoadRam = 32805;
inline constexpr int kOptionsSettings = 32806;
inline constexpr int kViewPhone = 32807;
inline constexpr int kDebugRun = 32808;
inline constexpr int kDebugToggleBreakpoint = 32809;
inline constexpr int kDebugClearBreakpoints = 32810;
}  // namespace cmd
