#pragma once

#include <QKeyCombination>

#include "session/DebugSession.h"

class CMainFrame;

// The menus of the menu bar, in their order there.
enum class CommandMenu { kNone, kFile, kEdit, kView, kDebug, kOptions, kWindow, kHelp };
inline constexpr const char* kMenuTitles[] = {
    "", "&File", "&Edit", "&View", "&Debug", "Options", "&Window", "&Help",
};

// Rows of the table that stand for a place, not a command: where the recent files go in
// the File menus, where the task and jump lists go on the toolbar.
inline constexpr int kRecentFilesPlace = -1;
inline constexpr int kToolbarListsPlace = -2;

// A button's place on the toolbar: groups are parted by separators, `place` orders
// the buttons of a group; place 0 is no button.
struct ToolbarSlot {
    int group = 0;
    int place = 0;
};

// One command of the main window: its action, where it shows in the menus and on the
// toolbar, what it does and when it is enabled or checked. CMainFrame::Commands() lists
// them in menu order.
struct Command {
    int id = 0;                    // cmd::k... (CommandIds.h), or a place above
    const char* text = "";         // the menu text; & marks its underlined letter
    const char* prompt = nullptr;  // the status-bar text, then after '\n' the tool tip
    QKeyCombination keys[2] = {};  // the shortcuts; unused ones are Qt::Key_unknown
    CommandMenu menu = CommandMenu::kNone;
    int group = 0;                 // entries of a menu with another group are parted by a separator
    bool withoutDocument = false;  // also in the menus shown while no document is open
    ToolbarSlot tool = {};
    void (*run)(CMainFrame& frame, const Command& self) = nullptr;
    bool (*enabled)(const CMainFrame& frame, const Command& self) = nullptr;  // none: always
    bool (*checked)(const CMainFrame& frame, const Command& self) = nullptr;  // none: no mark
    QString (*label)(const CMainFrame& frame, const Command& self) = nullptr;  // none: `text`
    RunCommand debug = {};  // the emulator command the active listing window carries out
    int bar = -1;           // the debugger bar (CMainFrame::Bar) the command shows or hides
};
