#include "CMainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QMessageBox>
#include <QResizeEvent>
#include <QStatusBar>
#include <QToolBar>
#include <cstdio>

#include "CAboutDlg.h"
#include "CChildFrame.h"
#include "CInlineEdit.h"
#include "CPrintColumnsDlg.h"
#include "CResizableBar.h"
#include "CToolBarCombo.h"
#include "CommandIds.h"
#include "QtSettingsStore.h"
#include "TextFields.h"
#include "ToolbarIcons.h"
#include "debugger/qt/CCallStackDlg.h"
#include "debugger/qt/CEmulatorView.h"
#include "debugger/qt/CMemoryView.h"
#include "debugger/qt/CPhoneDlg.h"
#include "debugger/qt/CWarningsDlg.h"
#include "document/CTravikDoc.h"
#include "document/Merge.h"
#include "document/RamFile.h"
#include "listing/ExportCommand.h"
#include "listing/qt/CTravikView.h"
#include "listing/qt/ListingPrinter.h"
#include "shell/SettingsStore.h"

namespace {
// The status pane is repainted at most this often while texts arrive faster.
constexpr int kStatusRepaintMs = 33;

struct BarInfo {
    const char* caption;
    const char* objectName;
    settings::Key key;
    int command;
    Qt::DockWidgetArea side;
};
constexpr BarInfo kBars[CMainFrame::kBarCount] = {
    {"Call Stack", "CallStackBar", settings::kViewCallStack, cmd::kViewCallStack,
     Qt::LeftDockWidgetArea},
    {"Emulator", "EmulatorBar", settings::kViewRegisters, cmd::kViewRegisters,
     Qt::LeftDockWidgetArea},
    {"Warning Messages", "WarningsBar", settings::kViewWarnings, cmd::kViewWarnings,
     Qt::BottomDockWidgetArea},
    {"Memory Dump", "MemoryBar", settings::kViewMemory, cmd::kViewMemory, Qt::BottomDockWidgetArea},
    {"Phone Emulator", "PhoneBar", settings::kViewPhone, cmd::kViewPhone, Qt::LeftDockWidgetArea},
};

// Commands whose feature is not in this version of the program: shown, never enabled.
constexpr int kNotAvailable[] = {
    cmd::kEditUndo,
    cmd::kEditCut,
    cmd::kEditCopy,
    cmd::kEditPaste,
};

// The emulator's commands; the active listing window carries them out.
constexpr struct {
    int id;
    RunCommand command;
} kRunCommands[] = {
    {cmd::kDebugStart, RunCommand::kStart},
    {cmd::kDebugAnimate, RunCommand::kAnimate},
    {cmd::kDebugStepInto, RunCommand::kStepInto},
    {cmd::kDebugStepOver, RunCommand::kStepOver},
    {cmd::kDebugSkipToCursor, RunCommand::kSkipToCursor},
    {cmd::kDebugStepToCursor, RunCommand::kStepToCursor},
    {cmd::kDebugBreak, RunCommand::kBreak},
    {cmd::kDebugStop, RunCommand::kStop},
    {cmd::kDebugRun, RunCommand::kRun},
    {cmd::kDebugToggleBreakpoint, RunCommand::kToggleBreakpoint},
    {cmd::kDebugClearBreakpoints, RunCommand::kClearBreakpoints},
};

// The file and search commands of the active document.
constexpr int kDocumentCommands[] = {
    cmd::kFileMerge,  cmd::kFileFixInfo, cmd::kFileLoadRam,  cmd::kFileSaveRam,
    cmd::kFileExport, cmd::kEditFind,    cmd::kEditFindNext,
};

// Commands that work on the active document.
constexpr int kNeedDocument[] = {
    cmd::kFileClose,     cmd::kFileSave,          cmd::kOptionsSettings,  cmd::kViewBaseAddress,
    cmd::kViewLowerCase, cmd::kViewHex,           cmd::kViewAscii,        cmd::kViewJumps,
    cmd::kViewBitmap,    cmd::kViewSystemStrings, cmd::kWindowNew,        cmd::kWindowCascade,
    cmd::kWindowTile,    cmd::kWindowArrange,     cmd::kFilePrintPreview, cmd::kFilePrint,
};

QString Caption(const CTravikDoc& doc) {
    return QFileInfo(QString::fromLocal8Bit(doc.GetPathName().c_str())).fileName();
}
}  // namespace

CMainFrame::CMainFrame(QtSettingsStore& settings, QWidget* parent)
    : QMainWindow(parent), settings_(settings), printer_(std::make_unique<ListingPrinter>()) {
    setObjectName("MainFrame");
    setWindowTitle("Travik[*]");
    setWindowIcon(ApplicationIcon());
    setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowNestedDocks |
                   QMainWindow::AllowTabbedDocks);

    mdi_ = new QMdiArea(this);
    mdi_->setAccessibleName("Documents");
    setCentralWidget(mdi_);
    connect(mdi_, &QMdiArea::subWindowActivated, this, &CMainFrame::OnSubWindowActivated);

    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    CreateBars();
    CreateFocusKeys();
    SwitchMenus();

    // Idle-time work: enable commands, check marks, modified marks in the titles.
    idleTimer_.setInterval(250);
    connect(&idleTimer_, &QTimer::timeout, this, &CMainFrame::UpdateCommandUi);
    idleTimer_.start();
    UpdateCommandUi();
}

CMainFrame::~CMainFrame() {
    qApp->removeEventFilter(this);
    idleTimer_.stop();
    // The bars outlive this part of the frame: their hiding as the window goes must
    // not call back into it.
    for (CResizableBar* bar : bars_) {
        if (bar) disconnect(bar, nullptr, this, nullptr);
    }
    // Listing windows go before the documents they show.
    for (CChildFrame* frame : ChildFrames()) delete frame;
    docs_.clear();
}

// --- creation --------------------------------------------------------------------------

QAction* CMainFrame::MakeAction(int id, const QString& text, const QString& prompt) {
    auto* action = new QAction(text, this);
    action->setData(id);
    if (!prompt.isEmpty()) {
        const int split = prompt.indexOf('\n');
        action->setStatusTip(prompt.left(split));
        if (split >= 0) {
            action->setToolTip(prompt.mid(split + 1));
            action->setIconText(prompt.mid(split + 1));
        }
    }
    actions_[id] = action;
    addAction(action);  // accelerators work whichever menu is shown
    return action;
}

void CMainFrame::CreateActions() {
    using K = QKeySequence;
    MakeAction(cmd::kFileNew, "&New", "Create a new document\nNew")
        ->setShortcut(K(Qt::CTRL | Qt::Key_N));
    MakeAction(cmd::kFileOpen, "&Open...", "Open an existing document\nOpen")
        ->setShortcut(K(Qt::CTRL | Qt::Key_O));
    MakeAction(cmd::kFileMerge, "&Merge...", "Merge with a different Info file\nMerge")
        ->setShortcut(K(Qt::CTRL | Qt::Key_M));
    MakeAction(cmd::kFileClose, "&Close", "Close the active document\nClose");
    MakeAction(cmd::kFileSave, "&Save", "Save the active document\nSave")
        ->setShortcut(K(Qt::CTRL | Qt::Key_S));
    MakeAction(cmd::kFileFixInfo, "Fix ifo file", "Fix ifo file");
    MakeAction(cmd::kFileLoadRam, "Load RAM...", "Load RAM from file\nLoad RAM");
    MakeAction(cmd::kFileSaveRam, "Save RAM...", "Save RAM to file\nSave RAM");
    MakeAction(cmd::kFilePrintSetup, "Setup",
               "Change the printer and printing options\nPage Setup");
    MakeAction(cmd::kFilePrintPreview, "Preview", "Display full pages\nPrint Preview");
    MakeAction(cmd::kFilePrint, "Print", "Print the active document\nPrint");
    MakeAction(cmd::kFileExport, "Export...", "Export to file\nExport");
    MakeAction(cmd::kAppExit, "E&xit", "Quit the application; prompts to save documents\nExit");

    MakeAction(cmd::kEditUndo, "&Undo", "Undo the last action\nUndo")
        ->setShortcuts({K(Qt::CTRL | Qt::Key_Z), K(Qt::ALT | Qt::Key_Backspace)});
    MakeAction(cmd::kEditCut, "Cu&t", "Cut the selection and put it on the Clipboard\nCut")
        ->setShortcuts({K(Qt::CTRL | Qt::Key_X), K(Qt::SHIFT | Qt::Key_Delete)});
    MakeAction(cmd::kEditCopy, "&Copy", "Copy the selection and put it on the Clipboard\nCopy")
        ->setShortcuts({K(Qt::CTRL | Qt::Key_C), K(Qt::CTRL | Qt::Key_Insert)});
    MakeAction(cmd::kEditPaste, "&Paste", "Insert Clipboard contents\nPaste")
        ->setShortcuts({K(Qt::CTRL | Qt::Key_V), K(Qt::SHIFT | Qt::Key_Insert)});
    MakeAction(cmd::kEditFind, "Find...")->setShortcut(K(Qt::CTRL | Qt::Key_F));
    MakeAction(cmd::kEditFindNext, "Find Next")->setShortcut(K(Qt::Key_F3));

    MakeAction(cmd::kViewToolbar, "&Toolbar", "Show or hide the toolbar\nToggle ToolBar");
    MakeAction(cmd::kViewStatusBar, "&Status Bar", "Show or hide the status bar\nToggle StatusBar");
    for (const BarInfo& bar : kBars) {
        static const std::map<int, const char*> menuTexts = {{cmd::kViewCallStack, "Call Stack"},
                                                             {cmd::kViewRegisters, "Registers"},
                                                             {cmd::kViewWarnings, "Warnings"},
                                                             {cmd::kViewMemory, "Memory"},
                                                             {cmd::kViewPhone, "Phone"}};
        MakeAction(bar.command, menuTexts.at(bar.command));
    }
    MakeAction(cmd::kViewBaseAddress, "View &Base Address");
    MakeAction(cmd::kViewLowerCase, "View Lower Case");
    MakeAction(cmd::kViewHex, "View Opcode (Hex)");
    MakeAction(cmd::kViewAscii, "View Opcode (Ascii)");
    MakeAction(cmd::kViewJumps, "View Jumps");
    MakeAction(cmd::kViewBitmap, "View Bitmap");
    MakeAction(cmd::kViewSystemStrings, "View System Strings");

    MakeAction(cmd::kDebugStart, "&Start", "Start Emulation\nStart")->setShortcut(K(Qt::Key_F5));
    MakeAction(cmd::kDebugAnimate, "&Animate", "Start running emulation\nRun")
        ->setShortcut(K(Qt::Key_F6));
    MakeAction(cmd::kDebugStepInto, "Step &Into", "Step Into\nStep Into")
        ->setShortcut(K(Qt::Key_F7));
    MakeAction(cmd::kDebugStepOver, "Step &Over", "Step over\nStep over")
        ->setShortcut(K(Qt::Key_F8));
    MakeAction(cmd::kDebugSkipToCursor, "S&kip to Cursor", "Skip to Cursor\nSkip");
    MakeAction(cmd::kDebugStepToCursor, "Step to &Cursor", "Run to cursor\nTo cursor");
    MakeAction(cmd::kDebugBreak, "&Break", "Suspend running emulation\nSuspend");
    MakeAction(cmd::kDebugStop, "S&top", "Stop Emulation\nStop");
    MakeAction(cmd::kDebugRun, "&Run",
               "Run at full speed until a breakpoint, watchpoint or warning\nRun at Full Speed")
        ->setShortcut(K(Qt::Key_F9));
    MakeAction(cmd::kDebugToggleBreakpoint, "Toggle Breakpoint",
               "Set or remove a breakpoint on the cursor's line\nToggle Breakpoint")
        ->setShortcut(K(Qt::Key_F2));
    MakeAction(cmd::kDebugClearBreakpoints, "Clear All Breakpoints",
               "Remove every breakpoint of this flash file\nClear All Breakpoints");

    MakeAction(cmd::kOptionsSettings, "Settings...");
    MakeAction(cmd::kWindowNew, "&New Window",
               "Open another window for the active document\nNew Window");
    MakeAction(cmd::kWindowCascade, "&Cascade", "Arrange windows so they overlap\nCascade Windows");
    MakeAction(cmd::kWindowTile, "&Tile", "Arrange windows as non-overlapping tiles\nTile Windows");
    MakeAction(cmd::kWindowArrange, "&Arrange Icons",
               "Arrange icons at the bottom of the window\nArrange Icons");
    MakeAction(cmd::kAppAbout, "&About Travik...",
               "Display program information, version number and copyright\nAbout");

    for (int id : {cmd::kViewToolbar, cmd::kViewStatusBar, cmd::kViewCallStack, cmd::kViewRegisters,
                   cmd::kViewWarnings, cmd::kViewMemory, cmd::kViewPhone, cmd::kViewBaseAddress,
                   cmd::kViewLowerCase, cmd::kViewHex, cmd::kViewAscii, cmd::kViewJumps,
                   cmd::kViewBitmap, cmd::kViewSystemStrings})
        actions_[id]->setCheckable(true);
    for (int id : kNotAvailable) actions_[id]->setEnabled(false);

    auto on = [this](int id, auto handler) {
        connect(actions_[id], &QAction::triggered, this, handler);
    };
    on(cmd::kFileNew, [this] { OnFileNew(); });
    on(cmd::kFileOpen, [this] { OnFileOpen(); });
    on(cmd::kFileClose, [this] {
        if (CTravikDoc* doc = ActiveDocument()) CloseDocument(*doc);
    });
    on(cmd::kFileSave, [this] { OnFileSave(); });
    on(cmd::kAppExit, [this] { close(); });
    on(cmd::kAppAbout, [this] { CAboutDlg(this).exec(); });
    on(cmd::kViewToolbar, [this](bool show) { findChild<QToolBar*>("ToolBar")->setVisible(show); });
    on(cmd::kViewStatusBar, [this](bool show) { statusBar()->setVisible(show); });
    for (int bar = 0; bar < kBarCount; ++bar)
        on(kBars[bar].command, [this, bar] { ToggleBar(static_cast<Bar>(bar)); });
    on(cmd::kViewBaseAddress, [this] { ToggleOption(&CTravikDoc::ToggleBaseAddress); });
    on(cmd::kViewLowerCase, [this] { ToggleOption(&CTravikDoc::ToggleLowerCase); });
    on(cmd::kViewHex, [this] { ToggleOption(&CTravikDoc::ToggleViewHex); });
    on(cmd::kViewAscii, [this] { ToggleOption(&CTravikDoc::ToggleViewAscii); });
    on(cmd::kViewJumps, [this] { ToggleOption(&CTravikDoc::ToggleViewJumps); });
    on(cmd::kViewBitmap, [this] { ToggleOption(&CTravikDoc::ToggleViewBitmap); });
    on(cmd::kViewSystemStrings, [this] { ToggleOption(&CTravikDoc::ToggleViewSystemStrings); });
    for (const auto& run : kRunCommands) {
        on(run.id, [this, command = run.command] {
            if (activeView_) activeView_->OnRunCommand(command);
            UpdateCommandUi();
        });
    }
    on(cmd::kOptionsSettings, [this] { OnOptionsSettings(); });
    on(cmd::kFilePrintSetup, [this] { printer_->Setup(this); });
    on(cmd::kFilePrintPreview, [this] {
        if (CTravikDoc* doc = ActiveDocument()) printer_->Preview(*doc, PrintColumns(*doc), this);
    });
    on(cmd::kFilePrint, [this] {
        if (CTravikDoc* doc = ActiveDocument()) printer_->Print(*doc, PrintColumns(*doc), this);
    });
    on(cmd::kFileMerge, [this] {
        CTravikDoc* doc = ActiveDocument();
        if (doc && MergeFinished(Merge(*doc))) {
            for (CChildFrame* frame : ChildFrames(doc)) {
                frame->FirstView()->GoToOffset(0, true);
                frame->SecondView()->GoToOffset(0, true);
            }
        }
        UpdateCommandUi();
    });
    on(cmd::kFileFixInfo, [this] {
        if (CTravikDoc* doc = ActiveDocument()) {
            FixInfoFile(*doc);
            RepaintViews(*doc);
        }
        UpdateCommandUi();
    });
    on(cmd::kFileLoadRam, [this] {
        if (CTravikDoc* doc = ActiveDocument()) LoadRam(*doc);
    });
    on(cmd::kFileSaveRam, [this] {
        if (CTravikDoc* doc = ActiveDocument()) SaveRam(*doc);
    });
    on(cmd::kFileExport, [this] {
        if (CTravikDoc* doc = ActiveDocument()) ExportAssembly(*doc);
    });
    on(cmd::kEditFind, [this] {
        if (activeView_) activeView_->OnFind();
    });
    on(cmd::kEditFindNext, [this] {
        if (activeView_) activeView_->OnFindNext();
    });
    on(cmd::kWindowNew, [this] { OnWindowNew(); });
    on(cmd::kWindowCascade, [this] { mdi_->cascadeSubWindows(); });
    on(cmd::kWindowTile, [this] { mdi_->tileSubWindows(); });
    on(cmd::kWindowArrange, [this] {
        // Minimised windows in a row along the bottom, left to right.
        int x = 0;
        for (QMdiSubWindow* window : mdi_->subWindowList())
            if (window->isMinimized()) {
                window->move(x, mdi_->viewport()->height() - window->height());
                x += window->width();
            }
    });
}

void CMainFrame::CreateMenus() {
    auto menu = [this](const QString& title, std::initializer_list<int> ids) {
        auto* m = new QMenu(title, this);
        for (int id : ids) {
            if (id == 0)
                m->addSeparator();
            else
                m->addAction(actions_[id]);
        }
        connect(m, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUi);
        return m;
    };
    // Menu 128, no document open. The File menus get their entries from
    // RebuildRecentFiles, which knows the recent files.
    recent128_ = menu("&File", {});
    menus128_ = {recent128_, menu("&View", {cmd::kViewToolbar, cmd::kViewStatusBar}),
                 menu("&Help", {cmd::kAppAbout})};
    // Menu 129, a document open.
    file129_ = menu("&File", {});
    menus129_ = {
        file129_,
        menu("&Edit", {cmd::kEditUndo, 0, cmd::kEditCut, cmd::kEditCopy, cmd::kEditPaste, 0,
                       cmd::kEditFind, cmd::kEditFindNext}),
        menu("&View",
             {cmd::kViewToolbar, cmd::kViewStatusBar, 0, cmd::kViewCallStack, cmd::kViewRegisters,
              cmd::kViewWarnings, cmd::kViewMemory, cmd::kViewPhone, 0, cmd::kViewBaseAddress,
              cmd::kViewLowerCase, cmd::kViewHex, cmd::kViewAscii, cmd::kViewJumps,
              cmd::kViewBitmap, cmd::kViewSystemStrings}),
        menu("&Debug",
             {cmd::kDebugStart, cmd::kDebugAnimate, cmd::kDebugStepInto, cmd::kDebugStepOver,
              cmd::kDebugSkipToCursor, cmd::kDebugStepToCursor, cmd::kDebugBreak, cmd::kDebugStop,
              0, cmd::kDebugRun, 0, cmd::kDebugToggleBreakpoint, cmd::kDebugClearBreakpoints}),
        menu("Options", {cmd::kOptionsSettings}),
        menu("&Window",
             {cmd::kWindowNew, cmd::kWindowCascade, cmd::kWindowTile, cmd::kWindowArrange}),
        menu("&Help", {cmd::kAppAbout}),
    };
    RebuildRecentFiles();
}

void CMainFrame::RebuildRecentFiles() {
    for (QAction* action : recentActions_) action->deleteLater();
    recentActions_.clear();
    const QStringList files = settings_.RecentFiles();
    for (int i = 0; i < files.size(); ++i) {
        auto* action = new QAction(QString("&%1 %2").arg(i + 1).arg(files[i]), this);
        action->setStatusTip("Open this document");
        const QString path = files[i];
        connect(action, &QAction::triggered, this, [this, path] {
            if (!OpenDocumentFile(path)) {
                settings_.RemoveRecentFile(path);
                RebuildRecentFiles();
            }
        });
        recentActions_ << action;
    }
    if (files.isEmpty()) {
        auto* placeholder = new QAction("Recent File", this);
        placeholder->setEnabled(false);
        recentActions_ << placeholder;
    }
    recent128_->clear();
    recent128_->addAction(actions_[cmd::kFileOpen]);
    recent128_->addSeparator();
    recent128_->addActions(recentActions_);
    recent128_->addSeparator();
    recent128_->addAction(actions_[cmd::kAppExit]);

    file129_->clear();
    for (int id : {cmd::kFileOpen, cmd::kFileMerge, cmd::kFileFixInfo, cmd::kFileClose,
                   cmd::kFileSave, cmd::kFileLoadRam, cmd::kFileSaveRam})
        file129_->addAction(actions_[id]);
    file129_->addSeparator();
    for (int id : {cmd::kFilePrintSetup, cmd::kFilePrintPreview, cmd::kFilePrint, cmd::kFileExport})
        file129_->addAction(actions_[id]);
    file129_->addSeparator();
    file129_->addActions(recentActions_);
    file129_->addSeparator();
    file129_->addAction(actions_[cmd::kAppExit]);
}

void CMainFrame::SwitchMenus() {
    const bool withDocument = !docs_.empty();
    if (withDocument == documentMenu_ && !menuBar()->actions().isEmpty()) return;
    documentMenu_ = withDocument;
    menuBar()->clear();
    for (QMenu* m : withDocument ? menus129_ : menus128_) menuBar()->addMenu(m);
}

void CMainFrame::CreateToolBar() {
    auto* toolbar = new QToolBar("Travik Standard ToolBar", this);
    toolbar->setObjectName("ToolBar");
    toolbar->setIconSize(QSize(16, 15));
    toolbar->setAllowedAreas(Qt::AllToolBarAreas);
    addToolBar(Qt::TopToolBarArea, toolbar);
    auto button = [&](int id) {
        actions_[id]->setIcon(ToolbarIcon(id));
        toolbar->addAction(actions_[id]);
    };
    button(cmd::kFileOpen);
    button(cmd::kFileMerge);
    button(cmd::kFileSave);
    toolbar->addSeparator();
    button(cmd::kEditCut);
    button(cmd::kEditCopy);
    button(cmd::kEditPaste);
    toolbar->addSeparator();
    button(cmd::kFilePrint);
    toolbar->addSeparator();
    for (int id : {cmd::kDebugStart, cmd::kDebugStepOver, cmd::kDebugStepInto,
                   cmd::kDebugSkipToCursor, cmd::kDebugStepToCursor, cmd::kDebugAnimate,
                   cmd::kDebugRun, cmd::kDebugBreak, cmd::kDebugStop})
        button(id);

    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    auto combo = [&](int kind, int width, const char* name) {
        auto* box = new CToolBarCombo(toolbar);
        box->setLineEdit(new CLineField(box));  // editable
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setFont(fixed);
        box->setFixedWidth(width);
        box->setMaxVisibleItems(std::max(1, 300 / QFontMetrics(fixed).height()));
        box->setToolTip("Jump");
        box->setStatusTip("Jump to function");
        box->setAccessibleName(name);
        box->kind = kind;
        toolbar->addWidget(box);
        connect(box, &CToolBarCombo::closedUp, this, &CMainFrame::OnComboCloseUp);
        return box;
    };
    taskList_ = combo(1, 180, "Task list");
    jumpList_ = combo(2, 300, "Jump list");
    taskList_->clear();
    taskList_->addItems(
        {"General", "Utility", "Boot", "IRQ", "FIQ", "Tasks Management", "NetMonitor"});
    for (int task = 0x01; task <= 0x15; ++task)
        taskList_->addItem(QString::asprintf("Task #%02X", task));
    taskList_->setCurrentIndex(-1);
    button(cmd::kAppAbout);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    statusPane_ = new QLabel("Ready", bar);
    statusPane_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar->addWidget(statusPane_, 1);
    for (const char* indicator : {"CAP", "NUM", "SCRL"}) {
        auto* pane = new QLabel(indicator, bar);
        pane->setAccessibleName(indicator);
        pane->setFrameShape(QFrame::Panel);
        pane->setFrameShadow(QFrame::Sunken);
        // The lock keys' state is not available portably: shown greyed, as when off.
        pane->setEnabled(false);
        bar->addPermanentWidget(pane);
    }
    statusFlush_.setSingleShot(true);
    statusFlush_.setInterval(kStatusRepaintMs);
    connect(&statusFlush_, &QTimer::timeout, this, &CMainFrame::FlushStatusPane);
}

void CMainFrame::CreateBars() {
    callStack_ = new CCallStackDlg;
    callStack_->SetSource([this] { return BarsDocument(); });
    emulatorView_ = new CEmulatorView(*this);
    emulatorView_->SetSource([this] { return BarsDocument(); });
    warnings_ = new CWarningsDlg;
    memoryView_ = new CMemoryView(*this);
    memoryView_->SetSource([this] { return BarsDocument(); });
    phone_ = new CPhoneDlg(*this);
    phone_->SetSource([this] { return BarsDocument(); });
    QWidget* hosted[kBarCount] = {callStack_, emulatorView_, warnings_, memoryView_, phone_};
    for (int i = 0; i < kBarCount; ++i) {
        const BarInfo& info = kBars[i];
        auto* bar = new CResizableBar(info.caption, info.objectName, hosted[i], this);
        bars_[i] = bar;
        addDockWidget(info.side, bar);
        bar->setVisible(settings::Read(settings_, info.key) != 0);
        connect(bar, &CResizableBar::closedByUser, this, [this, i] {
            settings::Write(settings_, kBars[i].key, 0);
            UpdateCommandUi();
        });
        connect(bar, &QDockWidget::visibilityChanged, this, [this] { UpdateCommandUi(); });
    }
    // Bars on one side share a column (or row), as thick as the thickest of them needs.
    for (const Qt::DockWidgetArea side : {Qt::LeftDockWidgetArea, Qt::BottomDockWidgetArea}) {
        const bool column = side == Qt::LeftDockWidgetArea;
        QList<QDockWidget*> shared;
        QList<int> sizes;
        int thickest = 0;
        for (CResizableBar* bar : bars_) {
            if (dockWidgetArea(bar) != side) continue;
            const QSize size = bar->DefaultSize();
            thickest = std::max(thickest, column ? size.width() : size.height());
            shared << bar;
        }
        for (int i = 0; i < shared.size(); ++i) sizes << thickest;
        if (!shared.isEmpty()) resizeDocks(shared, sizes, column ? Qt::Horizontal : Qt::Vertical);
    }
}

// --- commands --------------------------------------------------------------------------

QAction* CMainFrame::Action(int commandId) const {
    auto it = actions_.find(commandId);
    return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::UpdateCommandUi() {
    CTravikDoc* doc = ActiveDocument();
    for (int id : kNeedDocument) actions_[id]->setEnabled(doc != nullptr);
    for (int id : kDocumentCommands) actions_[id]->setEnabled(doc != nullptr);
    for (const auto& run : kRunCommands)
        actions_[run.id]->setEnabled(activeView_ && activeView_->CanRun(run.command));
    auto check = [this](int id, bool on) { actions_[id]->setChecked(on); };
    check(cmd::kViewToolbar, !findChild<QToolBar*>("ToolBar")->isHidden());
    check(cmd::kViewStatusBar, !statusBar()->isHidden());
    for (int i = 0; i < kBarCount; ++i) check(kBars[i].command, !bars_[i]->isHidden());
    check(cmd::kViewBaseAddress, doc && doc->Options().baseAddress != 0);
    check(cmd::kViewLowerCase, doc && doc->Options().lowerCase == 1);
    check(cmd::kViewHex, doc && doc->Options().viewHex == 1);
    check(cmd::kViewAscii, doc && doc->Options().viewAscii == 1);
    check(cmd::kViewJumps, doc && doc->Options().viewJumps == 1);
    check(cmd::kViewBitmap, doc && doc->Options().bitmapWidth >= 1);
    check(cmd::kViewSystemStrings, doc && doc->Options().viewSystemStrings == 1);
    UpdateTitles();
}

void CMainFrame::ToggleBar(Bar bar) {
    CResizableBar* dock = bars_[bar];
    const bool show = dock->isHidden();
    dock->setVisible(show);
    if (show) dock->raise();
    settings::Write(settings_, kBars[bar].key, show ? 1 : 0);
    UpdateCommandUi();
}

void CMainFrame::WriteBarKeys() {
    for (int i = 0; i < kBarCount; ++i)
        settings::Write(settings_, kBars[i].key, bars_[i]->isHidden() ? 0 : 1);
    settings::Write(settings_, settings::kStartMaximized, isMaximized() ? 1 : 0);
    settings_.Sync();
}

void CMainFrame::ToggleOption(void (CTravikDoc::*toggle)()) {
    CTravikDoc* doc = ActiveDocument();
    if (!doc) return;
    (doc->*toggle)();
    RepaintViews(*doc);
    UpdateCommandUi();
}

void CMainFrame::OnOptionsSettings() {
    CTravikDoc* doc = ActiveDocument();
    if (!doc) return;
    for (OpenDoc& open : docs_)
        if (open.doc.get() == doc) open.printColumns->Run();
}

int CMainFrame::PrintColumns(const CTravikDoc& doc) const {
    for (const OpenDoc& open : docs_)
        if (open.doc.get() == &doc && open.printColumns) return open.printColumns->Columns();
    return settings::Read(settings_, settings::kNumColumns);
}

void CMainFrame::OnComboCloseUp(CToolBarCombo* combo) {
    CTravikDoc* doc = GetFirstDocument();
    const QList<CChildFrame*> frames = doc ? ChildFrames(doc) : QList<CChildFrame*>();
    if (frames.isEmpty()) return;
    CTravikView* view = frames.first()->FirstView();
    if (combo->kind != 2) return;  // choosing a task does nothing
    const QString text = (combo->currentText() + "ZZZ").toUpper();
    uint32_t value = 0;
    for (QChar c : text) {
        const int digit = QString("0123456789ABCDEF").indexOf(c);
        if (digit < 0) break;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    // Only the low 20 bits count, so an address shown with the flash base is an offset.
    view->GoToOffset(value & 0xFFFFF, true);
    view->setFocus();
    view->update();
}

// --- documents -------------------------------------------------------------------------

CTravikDoc* CMainFrame::Document(int index) const {
    return index >= 0 && index < DocumentCount() ? docs_[index].doc.get() : nullptr;
}

CTravikDoc* CMainFrame::ActiveDocument() const {
    return activeView_ ? &activeView_->GetDocument() : nullptr;
}

QList<CChildFrame*> CMainFrame::ChildFrames(const CTravikDoc* doc) const {
    QList<CChildFrame*> frames;
    for (QMdiSubWindow* window : mdi_->subWindowList(QMdiArea::CreationOrder)) {
        auto* frame = qobject_cast<CChildFrame*>(window);
        if (frame && !frame->property("closing").toBool() && (!doc || &frame->Document() == doc))
            frames << frame;
    }
    return frames;
}

void CMainFrame::UpdateAllViews(const CTravikDoc& doc) {
    RepaintViews(doc);
}

void CMainFrame::RepaintViews(const CTravikDoc& doc) {
    for (CChildFrame* frame : ChildFrames(&doc)) {
        frame->FirstView()->update();
        frame->SecondView()->update();
    }
}

bool CMainFrame::OpenDocumentFile(const QString& path) {
    const QString full = QFileInfo(path).absoluteFilePath();
    for (OpenDoc& open : docs_) {
        if (QFileInfo(QString::fromLocal8Bit(open.doc->GetPathName().c_str())).absoluteFilePath() ==
            full) {
            const QList<CChildFrame*> frames = ChildFrames(open.doc.get());
            if (!frames.isEmpty()) mdi_->setActiveSubWindow(frames.first());
            return true;
        }
    }
    // The document is listed while it opens, as the first document if it is the only one.
    docs_.push_back({std::make_unique<CTravikDoc>(*this), nullptr});
    CTravikDoc& doc = *docs_.back().doc;
    if (!doc.OnOpenDocument(full.toLocal8Bit().toStdString())) {
        docs_.pop_back();
        SetStatusText("Ready");
        return false;
    }
    docs_.back().printColumns = std::make_unique<CPrintColumnsDlg>(settings_, this);
    SetStatusText("Ready");
    settings_.AddRecentFile(full);
    RebuildRecentFiles();
    SwitchMenus();
    CChildFrame* frame = CreateChildFrame(doc);
    frame->ShowFirstTime();
    mdi_->setActiveSubWindow(frame);
    SetActiveView(frame->FirstView());
    RepaintRegisters();
    RepaintMemory();
    RepaintPhone();
    UpdateCommandUi();
    return true;
}

void CMainFrame::OnFileNew() {
    // A document exists only for an opened flash file: a new, empty one is refused.
    CTravikDoc doc(*this);
    if (doc.OnNewDocument()) OnFileOpen();
}

void CMainFrame::OnFileOpen() {
    const QString path = QFileDialog::getOpenFileName(this, "Open", QString(),
                                                      "Flash File (*.fls);;All Files (*.*)");
    if (!path.isEmpty()) OpenDocumentFile(path);
}

void CMainFrame::OnFileSave() {
    if (CTravikDoc* doc = ActiveDocument()) doc->OnSaveDocument(doc->GetPathName());
    UpdateCommandUi();
}

void CMainFrame::OnWindowNew() {
    CTravikDoc* doc = ActiveDocument();
    if (!doc) return;
    CChildFrame* frame = CreateChildFrame(*doc);
    frame->ShowFirstTime();
    mdi_->setActiveSubWindow(frame);
    SetActiveView(frame->FirstView());
}

CChildFrame* CMainFrame::CreateChildFrame(CTravikDoc& doc) {
    auto* frame = new CChildFrame(doc);
    mdi_->addSubWindow(frame);
    frame->canClose = [this](CChildFrame* f) { return CanCloseChild(f); };
    connect(frame, &CChildFrame::viewActivated, this, &CMainFrame::SetActiveView);
    frame->FirstView()->SetSharedInput(&listingInput_);
    frame->SecondView()->SetSharedInput(&listingInput_);
    connect(frame, &CChildFrame::closed, this, [this](CChildFrame* closed) {
        closed->setProperty("closing", true);
        // Deleted from the event loop, never inside its own close handling.
        QMetaObject::invokeMethod(
            this,
            [this, window = QPointer<CChildFrame>(closed)] {
                if (!window) return;
                CTravikDoc& doc = window->Document();
                const bool droveRun = window->DrivesLongRun();
                delete window.data();
                const QList<CChildFrame*> rest = ChildFrames(&doc);
                if (rest.isEmpty())
                    DestroyDocument(doc);
                else if (droveRun)  // the run goes on in a window that stays
                    rest.first()->ActiveView()->TakeOverLongRun();
                UpdateCommandUi();
            },
            Qt::QueuedConnection);
    });
    UpdateTitles();
    return frame;
}

bool CMainFrame::CanCloseChild(CChildFrame* frame) {
    // Closing one of several windows of a document loses nothing.
    if (ChildFrames(&frame->Document()).size() > 1) return true;
    return SaveModified(frame->Document());
}

bool CMainFrame::SaveModified(CTravikDoc& doc) {
    if (!doc.IsModified() || unattended_) return true;
    const auto answer = QMessageBox::question(
        this, "Travik", QString("Save changes to %1?").arg(Caption(doc)),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (answer == QMessageBox::Cancel) return false;
    // A failed save has shown its message; the document stays open.
    if (answer == QMessageBox::Yes) return doc.OnSaveDocument(doc.GetPathName());
    return true;
}

bool CMainFrame::CloseDocument(CTravikDoc& doc) {
    if (!SaveModified(doc)) return false;
    DestroyDocument(doc);
    return true;
}

void CMainFrame::DestroyDocument(CTravikDoc& doc) {
    // A run of the document ends with it; its windows no longer say how far it got.
    if (doc.emulator.LongRunActive()) SetStatusText("Ready");
    for (QMdiSubWindow* window : mdi_->subWindowList()) {
        auto* frame = qobject_cast<CChildFrame*>(window);
        if (frame && &frame->Document() == &doc) delete frame;
    }
    doc.OnCloseDocument();
    for (auto it = docs_.begin(); it != docs_.end(); ++it) {
        if (it->doc.get() == &doc) {
            docs_.erase(it);
            break;
        }
    }
    if (!activeView_) OnSubWindowActivated(mdi_->activeSubWindow());
    UpdateBarsDocument();
    SwitchMenus();
    RepaintRegisters();
    RepaintMemory();
    RepaintPhone();
    UpdateCommandUi();
}

void CMainFrame::SetActiveView(CTravikView* view) {
    if (activeView_ == view) return;
    if (activeView_) activeView_->SetActive(false);
    activeView_ = view;
    if (view) view->SetActive(true);
    UpdateBarsDocument();
    UpdateCommandUi();
}

CTravikDoc* CMainFrame::BarsDocument() {
    if (CTravikDoc* doc = ActiveDocument()) return doc;
    return GetFirstDocument();
}

void CMainFrame::UpdateBarsDocument() {
    CTravikDoc* doc = BarsDocument();
    if (doc == barsDocument_) return;
    barsDocument_ = doc;
    emulatorView_->Editor()->hide();
    memoryView_->Editor()->hide();
    RefreshCallStack();
    RepaintRegisters();
    RepaintMemory();
    RepaintPhone();
}

void CMainFrame::OnSubWindowActivated(QMdiSubWindow* window) {
    auto* frame = qobject_cast<CChildFrame*>(window);
    // Keep the current view when the area merely loses focus to another window.
    if (!frame) {
        if (!window && mdi_->subWindowList().isEmpty()) SetActiveView(nullptr);
        return;
    }
    SetActiveView(frame->ActiveView());
}

void CMainFrame::UpdateTitles() {
    std::map<const CTravikDoc*, int> counts, numbers;
    const QList<CChildFrame*> frames = ChildFrames();
    for (CChildFrame* frame : frames) ++counts[&frame->Document()];
    for (CChildFrame* frame : frames) {
        const CTravikDoc& doc = frame->Document();
        QString title = Caption(doc);
        if (counts[&doc] > 1) title += QString(":%1").arg(++numbers[&doc]);
        frame->setWindowTitle(title + "[*]");
        frame->setWindowModified(doc.IsModified());
    }
    // The main window names the active document, with its modified mark.
    QString title = "Travik";
    bool modified = false;
    if (auto* active = qobject_cast<CChildFrame*>(mdi_->activeSubWindow())) {
        title += " - " + active->windowTitle().replace("[*]", "");
        modified = active->Document().IsModified();
    }
    title += "[*]";
    if (windowTitle() != title) setWindowTitle(title);
    setWindowModified(modified);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    for (OpenDoc& open : docs_) {
        if (!SaveModified(*open.doc)) {
            event->ignore();
            return;
        }
    }
    WriteBarKeys();
    while (!docs_.empty()) DestroyDocument(*docs_.front().doc);
    event->accept();
}

bool CMainFrame::event(QEvent* event) {
    // While a long run goes on, its progress keeps the status bar: hover hints (the
    // bars', the toolbar's) would hide it for as long as the pointer rests.
    if (event->type() == QEvent::StatusTip && LongRunGoing()) return true;
    return QMainWindow::event(event);
}

bool CMainFrame::LongRunGoing() const {
    for (const OpenDoc& open : docs_)
        if (open.doc->emulator.LongRunActive()) return true;
    return false;
}

// --- keyboard focus and bar sizes -------------------------------------------------------

void CMainFrame::CreateFocusKeys() {
    using K = QKeySequence;
    auto key = [this](QList<QKeySequence> keys, Qt::ShortcutContext context, auto handler) {
        auto* action = new QAction(this);
        action->setShortcuts(keys);
        action->setShortcutContext(context);
        addAction(action);
        connect(action, &QAction::triggered, this, handler);
    };
    // Floating bars are windows of their own: the focus keys work from them too.
    key({K(Qt::CTRL | Qt::Key_Tab)}, Qt::ApplicationShortcut, [this] { CycleFocus(1); });
    key({K(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), K(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab)},
        Qt::ApplicationShortcut, [this] { CycleFocus(-1); });
    // Document windows switch on Ctrl+F6: the document area's own Ctrl+Tab never comes
    // into play, the keys above take it first.
    key({K(Qt::CTRL | Qt::Key_F6)}, Qt::WindowShortcut, [this] { mdi_->activateNextSubWindow(); });
    key({K(Qt::CTRL | Qt::SHIFT | Qt::Key_F6)}, Qt::WindowShortcut,
        [this] { mdi_->activatePreviousSubWindow(); });
    // Escape in a bar gives the focus back to the listing; the bars' own windows take
    // Escape before it could reach the bar, so it is looked at on its way.
    qApp->installEventFilter(this);
}

int CMainFrame::BarHolding(const QWidget* widget) const {
    for (int i = 0; i < kBarCount; ++i)
        if (widget && (bars_[i] == widget || bars_[i]->isAncestorOf(widget))) return i;
    return -1;
}

void CMainFrame::FocusListing() {
    if (!activeView_) return;
    activateWindow();
    activeView_->setFocus(Qt::OtherFocusReason);
}

void CMainFrame::CycleFocus(int step) {
    // Places 0..kBarCount-1 are the bars, kBarCount the listing.
    constexpr int kPlaces = kBarCount + 1;
    const int at = BarHolding(QApplication::focusWidget());
    int place = at < 0 ? kBarCount : at;
    for (int k = 0; k < kPlaces; ++k) {
        place = (place + step + kPlaces) % kPlaces;
        if (place == kBarCount) {
            if (!activeView_) continue;
            FocusListing();
            return;
        }
        CResizableBar* bar = bars_[place];
        if (bar->isHidden()) continue;
        bar->raise();  // a bar behind another one's tab comes to the front
        bar->activateWindow();
        // The hosted window, or the first control in it that takes the focus.
        QWidget* target = bar->Hosted();
        if (target->focusPolicy() == Qt::NoFocus) {
            for (QWidget* child : target->findChildren<QWidget*>())
                if (child->focusPolicy() & Qt::TabFocus) {
                    target = child;
                    break;
                }
        }
        target->setFocus(Qt::TabFocusReason);
        return;
    }
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched == QApplication::focusWidget()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* focus = static_cast<QWidget*>(watched);
        // An edit field in a bar keeps its keys.
        bool editing = false;
        for (QWidget* w = focus; w && !editing; w = w->parentWidget())
            editing = qobject_cast<CInlineEdit*>(w) != nullptr;
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier && !editing &&
            BarHolding(focus) >= 0 && activeView_) {
            FocusListing();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    const QSize old = event->oldSize();
    if (old.isValid() &&
        (event->size().width() > old.width() || event->size().height() > old.height()))
        QTimer::singleShot(0, this, &CMainFrame::FitBarsToContent);
}

void CMainFrame::FitBarsToContent() {
    // A window made small squeezes the bars; made large again, all the room it wins
    // would go to the documents. A bar thinner than its content needs gets that back.
    for (const Qt::Orientation across : {Qt::Horizontal, Qt::Vertical}) {
        QList<QDockWidget*> docks;
        QList<int> sizes;
        for (CResizableBar* bar : bars_) {
            if (bar->isHidden() || bar->isFloating()) continue;
            const Qt::DockWidgetArea side = dockWidgetArea(bar);
            const bool column = side == Qt::LeftDockWidgetArea || side == Qt::RightDockWidgetArea;
            if (column != (across == Qt::Horizontal)) continue;
            const int need = column ? bar->DefaultSize().width() : bar->DefaultSize().height();
            if ((column ? bar->width() : bar->height()) >= need) continue;
            docks << bar;
            sizes << need;
        }
        if (!docks.isEmpty()) resizeDocks(docks, sizes, across);
    }
}

// --- frame services --------------------------------------------------------------------

CTravikDoc* CMainFrame::GetFirstDocument() {
    return docs_.empty() ? nullptr : docs_.front().doc.get();
}

SettingsStore& CMainFrame::Settings() {
    return settings_;
}

void CMainFrame::SetStatusText(const std::string& text) {
    statusPane_->setText(QString::fromLocal8Bit(text.c_str()));
    // A hover hint shown hides the pane: the text set now is the one to see.
    if (!statusBar()->currentMessage().isEmpty()) statusBar()->clearMessage();
    // A long operation reports thousands of times: repaint now if the last repaint is
    // old enough, else soon, so that the text shown is always the latest.
    if (!statusClock_.isValid() || statusClock_.elapsed() >= kStatusRepaintMs) {
        FlushStatusPane();
    } else if (!statusFlush_.isActive()) {
        statusFlush_.start();
    }
}

void CMainFrame::FlushStatusPane() {
    statusClock_.restart();
    statusPane_->repaint();
}

void CMainFrame::AddWarning(const std::string& text) {
    warnings_->AddWarning(text);
}

void CMainFrame::AddJumpEntry(const std::string& text) {
    jumpList_->addItem(QString::fromLocal8Bit(text.c_str()));
}

void CMainFrame::ClearJumpList() {
    jumpList_->clear();
}

void CMainFrame::RefreshCallStack() {
    // Gathered into one rebuild when the program is next idle (a long run calls this at
    // every emulated call and return).
    callStack_->RequestRebuild();
}

// update() only asks for a paint: requests made before the next paint, and requests
// for hidden bars, cost nothing.
void CMainFrame::RepaintRegisters() {
    emulatorView_->update();
}

// The run reports its memory accesses here (after a step, at the end of a run): the
// dump follows them now, not at its next paint.
void CMainFrame::RepaintMemory() {
    memoryView_->FollowAccesses();
}

void CMainFrame::RepaintPhone() {
    phone_->update();
}

void CMainFrame::ShowMessage(const std::string& text) {
    QString message = QString::fromLocal8Bit(text.c_str());
    message.replace("\r\n", "\n");
    if (unattended_) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        return;
    }
    QMessageBox::warning(isVisible() ? this : nullptr, "Travik", message);
}

void CMainFrame::ShowNotice(const std::string& text) {
    QString message = QString::fromLocal8Bit(text.c_str());
    message.replace("\r\n", "\n");
    if (unattended_) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        return;
    }
    QMessageBox::information(isVisible() ? this : nullptr, "Travik", message);
}

bool CMainFrame::AskYesNo(const std::string& text) {
    if (unattended_) return false;
    QString message = QString::fromLocal8Bit(text.c_str());
    message.replace("\r\n", "\n");
    return QMessageBox::question(this, "Travik", message, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

void CMainFrame::Beep() {
    QApplication::beep();
}

QString CMainFrame::ConvertFilter(const std::string& filter) {
    const QStringList parts = QString::fromLocal8Bit(filter.c_str()).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;
        QString name = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(';', ' ');
        // Qt reads the patterns from the parentheses of each entry.
        if (!name.contains('(')) name += " (" + patterns + ")";
        filters << name;
    }
    return filters.join(";;");
}

std::optional<std::string> CMainFrame::ChooseOpenFile(const std::string& filter) {
    if (unattended_) return std::nullopt;
    const QString path =
        QFileDialog::getOpenFileName(this, "Open", QString(), ConvertFilter(filter));
    if (path.isEmpty()) return std::nullopt;
    return path.toLocal8Bit().toStdString();
}

std::optional<std::string> CMainFrame::ChooseSaveFile(const std::string& filter) {
    if (unattended_) return std::nullopt;
    const QString path =
        QFileDialog::getSaveFileName(this, "Save As", QString(), ConvertFilter(filter));
    if (path.isEmpty()) return std::nullopt;
    return path.toLocal8Bit().toStdString();
}
