#include "app/CMainFrame.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
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
#include <algorithm>
#include <cstdio>

#include "app/CAboutDlg.h"
#include "app/CChildFrame.h"
#include "widgets/CInlineEdit.h"
#include "widgets/CPrintColumnsDlg.h"
#include "app/CResizableBar.h"
#include "app/CToolBarCombo.h"
#include "app/CommandTable.h"
#include "app/QtSettingsStore.h"
#include "widgets/TextFields.h"
#include "app/ToolbarIcons.h"
#include "debugger/qt/CCallStackDlg.h"
#include "debugger/qt/CEmulatorView.h"
#include "debugger/qt/CMemoryView.h"
#include "debugger/qt/CIoMapDlg.h"
#include "debugger/qt/CPhoneDlg.h"
#include "debugger/MemoryDump.h"
#include "debugger/qt/CWarningsDlg.h"
#include "listing/qt/CReferencesBar.h"
#include "widgets/CItemListBar.h"
#include "document/CTravikDoc.h"
#include "document/Merge.h"
#include "document/RamFile.h"
#include "listing/Export.h"
#include "listing/ExportCommand.h"
#include "symbols/ElfExport.h"
#include "symbols/SymbolImport.h"
#include "listing/qt/CTravikView.h"
#include "listing/qt/ListingPrinter.h"
#include "session/qt/WindowSession.h"
#include "listing/GoToAddress.h"
#include "widgets/CAddressDlg.h"
#include "app/CGdbServerDlg.h"
#include "gdb/qt/GdbServer.h"
#include "shell/SettingsStore.h"

namespace {
// The status pane is repainted at most this often while texts arrive faster.
constexpr int kStatusRepaintMs = 33;

// The debugger bars, in CMainFrame::Bar order.
struct BarInfo {
    const char* caption;
    const char* objectName;
    settings::Key key;
    Qt::DockWidgetArea side;
};
constexpr BarInfo kBars[CMainFrame::kBarCount] = {
    {"Call Stack", "CallStackBar", settings::kViewCallStack, Qt::LeftDockWidgetArea},
    {"Emulator", "EmulatorBar", settings::kViewRegisters, Qt::LeftDockWidgetArea},
    {"Warning Messages", "WarningsBar", settings::kViewWarnings, Qt::BottomDockWidgetArea},
    {"Memory Dump", "MemoryBar", settings::kViewMemory, Qt::BottomDockWidgetArea},
    {"Phone Emulator", "PhoneBar", settings::kViewPhone, Qt::LeftDockWidgetArea},
    {"Search Results", "SearchResultsBar", settings::kViewSearchResults, Qt::BottomDockWidgetArea},
    {"References", "ReferencesBar", settings::kViewReferences, Qt::BottomDockWidgetArea},
    {"I/O Map", "IoMapBar", settings::kViewIoMap, Qt::BottomDockWidgetArea},
};

// A message of the program as a box shows it.
QString BoxText(const std::string& text) {
    QString message = QString::fromLocal8Bit(text.c_str());
    message.replace("\r\n", "\n");
    return message;
}

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

void CMainFrame::CreateActions() {
    for (const Command& command : Commands()) {
        if (command.id < 0) continue;  // a place, not a command
        auto* action = new QAction(command.text, this);
        action->setData(command.id);
        if (command.prompt) {
            const QString prompt = command.prompt;
            const int split = prompt.indexOf('\n');
            action->setStatusTip(prompt.left(split));
            if (split >= 0) {
                action->setToolTip(prompt.mid(split + 1));
                action->setIconText(prompt.mid(split + 1));
            }
        }
        QList<QKeySequence> keys;
        for (const QKeyCombination key : command.keys)
            if (key.key() != Qt::Key_unknown) keys << QKeySequence(key);
        if (!keys.isEmpty()) action->setShortcuts(keys);
        action->setCheckable(command.checked != nullptr);
        if (command.run)
            connect(action, &QAction::triggered, this,
                    [this, &command] { command.run(*this, command); });
        actions_[command.id] = action;
        addAction(action);  // accelerators work whichever menu is shown
    }
}

void CMainFrame::CreateMenus() {
    // Menu 128 while no document is open, 129 with one: each has the menus with entries.
    for (int m = int(CommandMenu::kFile); m <= int(CommandMenu::kHelp); ++m) {
        for (const bool withDocument : {false, true}) {
            auto* menu = new QMenu(kMenuTitles[m], this);
            FillMenu(menu, CommandMenu(m), withDocument);
            if (menu->isEmpty()) {
                delete menu;
                continue;
            }
            connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUi);
            (withDocument ? menus129_ : menus128_) << menu;
        }
    }
    // The File menus list the recent files, which change.
    recent128_ = menus128_.front();
    file129_ = menus129_.front();
    RebuildRecentFiles();
}

void CMainFrame::FillMenu(QMenu* menu, CommandMenu which, bool withDocument) {
    menu->clear();
    int group = 0;
    for (const Command& command : Commands()) {
        if (command.menu != which || !(withDocument || command.withoutDocument)) continue;
        if (command.group != group && !menu->isEmpty()) menu->addSeparator();
        group = command.group;
        if (command.id == kRecentFilesPlace)
            menu->addActions(recentActions_);
        else
            menu->addAction(actions_[command.id]);
    }
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
    FillMenu(recent128_, CommandMenu::kFile, false);
    FillMenu(file129_, CommandMenu::kFile, true);
}

void CMainFrame::SwitchMenus() {
    const bool withDocument = !docs_.empty();
    if (withDocument == documentMenu_ && !menuBar()->actions().isEmpty()) return;
    documentMenu_ = withDocument;
    menuBar()->clear();
    for (QMenu* m : withDocument ? menus129_ : menus128_) menuBar()->addMenu(m);
}

void CMainFrame::CreateToolBar() {
    auto* toolbar = toolBar_ = new QToolBar("Travik Standard ToolBar", this);
    toolbar->setObjectName("ToolBar");
    toolbar->setIconSize(QSize(16, 15));
    toolbar->setAllowedAreas(Qt::AllToolBarAreas);
    addToolBar(Qt::TopToolBarArea, toolbar);
    // The buttons in their toolbar order; the task and jump lists have their place too.
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
    std::vector<const Command*> buttons;
    for (const Command& command : Commands())
        if (command.tool.place > 0) buttons.push_back(&command);
    std::ranges::sort(buttons, [](const Command* a, const Command* b) {
        return std::pair(a->tool.group, a->tool.place) < std::pair(b->tool.group, b->tool.place);
    });
    for (size_t i = 0; i < buttons.size(); ++i) {
        const Command* command = buttons[i];
        if (i > 0 && command->tool.group != buttons[i - 1]->tool.group) toolbar->addSeparator();
        if (command->id == kToolbarListsPlace) {
            taskList_ = combo(1, 180, "Task list");
            jumpList_ = combo(2, 300, "Jump list");
        } else {
            QAction* action = actions_[command->id];
            action->setIcon(ToolbarIcon(command->id));
            toolbar->addAction(action);
        }
    }
    taskList_->clear();
    taskList_->addItems(
        {"General", "Utility", "Boot", "IRQ", "FIQ", "Tasks Management", "NetMonitor"});
    for (int task = 0x01; task <= 0x15; ++task)
        taskList_->addItem(QString::asprintf("Task #%02X", task));
    taskList_->setCurrentIndex(-1);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    statusPane_ = new QLabel("Ready", bar);
    statusPane_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar->addWidget(statusPane_, 1);
    addressPane_ = new QLabel(bar);
    addressPane_->setAccessibleName("Address");
    addressPane_->setFrameShape(QFrame::Panel);
    addressPane_->setFrameShadow(QFrame::Sunken);
    addressPane_->setMinimumWidth(addressPane_->fontMetrics().horizontalAdvance("000000000") + 8);
    bar->addPermanentWidget(addressPane_);
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
    // The bars that show a document show BarsDocument().
    auto showing = [this](auto* window) {
        window->SetSource([this] { return BarsDocument(); });
        return window;
    };
    callStack_ = showing(new CCallStackDlg);
    emulatorView_ = showing(new CEmulatorView(*this));
    warnings_ = new CWarningsDlg;
    memoryView_ = showing(new CMemoryView(*this));
    phone_ = showing(new CPhoneDlg(*this));
    connect(emulatorView_, &CEmulatorView::followInMemory, this, &CMainFrame::FollowInMemory);
    searchResults_ = new CItemListBar(kBars[kSearchResultsBar].caption, false);
    references_ = new CReferencesBar(kBars[kReferencesBar].caption);
    ioMap_ = showing(new CIoMapDlg);
    phone_->SetGoTo([this](uint32_t offset) { GoToInstruction(offset); });
    ioMap_->SetGoTo([this](uint32_t offset) { GoToInstruction(offset); });
    QWidget* hosted[kBarCount] = {callStack_, emulatorView_,  warnings_,   memoryView_,
                                  phone_,     searchResults_, references_, ioMap_};
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
        connect(bar, &QDockWidget::visibilityChanged, this, [this] {
            UpdateRecorders();
            UpdateCommandUi();
        });
    }
    connect(searchResults_, &CItemListBar::itemChosen, this, [](CTravikView* view, uint32_t offset) {
        view->GoToOffset(offset, true);
        view->setFocus();
    });
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
    for (const Command& command : Commands()) {
        if (command.enabled) actions_[command.id]->setEnabled(command.enabled(*this, command));
        if (command.checked) actions_[command.id]->setChecked(command.checked(*this, command));
        if (command.label) actions_[command.id]->setText(command.label(*this, command));
    }
    UpdateTitles();
    const CTravikDoc* doc = activeView_ ? &activeView_->GetDocument() : nullptr;
    addressPane_->setText(doc ? QString::fromStdString(DisplayedAddress(
                                    activeView_->State().cursorOffset, doc->Options().baseAddress))
                              : QString());
}

void CMainFrame::OnRunCommand(RunCommand command) {
    if (activeView_) activeView_->OnRunCommand(command);
    UpdateCommandUi();
}

bool CMainFrame::CanRunCommand(RunCommand command) const {
    return activeView_ && activeView_->CanRun(command);
}

void CMainFrame::OnDebugGdbServer() {
    if (!gdbDialog_) {
        gdbDialog_ = new CGdbServerDlg(
            settings_, {[this](quint16 port) { return StartGdbServer(port); }, [this] { StopGdbServer(); }},
            this);
    }
    gdbDialog_->ShowStatus(gdb_ ? gdb_->Status() : QString());
    gdbDialog_->show();
    gdbDialog_->raise();
}

bool CMainFrame::StartGdbServer(quint16 port) {
    CTravikDoc* doc = ActiveDocument();
    if (!doc) return false;
    StopGdbServer();
    // A debugger that connects to a closed emulation starts it at the cursor, as F5 does.
    auto cursor = [this, doc]() -> uint32_t {
        if (activeView_ && &activeView_->GetDocument() == doc) return activeView_->State().cursorOffset;
        const QList<CChildFrame*> frames = ChildFrames(doc);
        return frames.isEmpty() ? 0 : frames.first()->FirstView()->State().cursorOffset;
    };
    gdb_ = std::make_unique<GdbServer>(*doc, cursor);
    connect(gdb_.get(), &GdbServer::statusChanged, this, [this](const QString& status) {
        SetStatusText(status.isEmpty() ? "Ready" : status.toStdString());
        if (gdbDialog_) gdbDialog_->ShowStatus(status);
        UpdateCommandUi();
    });
    QString error;
    if (!gdb_->Listen(port, error)) {
        gdb_.reset();
        ShowMessage(QStringLiteral("The GDB server cannot listen on 127.0.0.1:%1: %2.")
                        .arg(port)
                        .arg(error)
                        .toStdString());
        return false;
    }
    return true;
}

void CMainFrame::StopGdbServer() {
    if (!gdb_) return;
    gdb_->Close();
    gdb_.reset();
    if (gdbDialog_) gdbDialog_->ShowStatus({});
    UpdateCommandUi();
}

void CMainFrame::OnFileClose() {
    if (CTravikDoc* doc = ActiveDocument()) CloseDocument(*doc);
}

void CMainFrame::OnFileMerge() {
    CTravikDoc* doc = ActiveDocument();
    if (doc && MergeFinished(Merge(*doc))) {
        for (CChildFrame* frame : ChildFrames(doc)) {
            frame->FirstView()->GoToOffset(0, true);
            frame->SecondView()->GoToOffset(0, true);
        }
    }
    UpdateCommandUi();
}

void CMainFrame::OnFileFixInfo() {
    if (CTravikDoc* doc = ActiveDocument()) {
        FixInfoFile(*doc);
        RepaintViews(*doc);
    }
    UpdateCommandUi();
}

void CMainFrame::OnFileLoadRam() {
    if (CTravikDoc* doc = ActiveDocument()) LoadRam(*doc);
}

void CMainFrame::OnFileSaveRam() {
    if (CTravikDoc* doc = ActiveDocument()) SaveRam(*doc);
}

void CMainFrame::OnFileExport() {
    if (CTravikDoc* doc = ActiveDocument()) ExportAssembly(*doc);
}

void CMainFrame::OnFileExportElf() {
    if (CTravikDoc* doc = ActiveDocument()) ExportElfCommand(*doc);
}

void CMainFrame::OnFileImportSymbols() {
    if (CTravikDoc* doc = ActiveDocument()) ImportSymbolsCommand(*doc);
    UpdateCommandUi();
}

void CMainFrame::OnFilePrintPreview() {
    if (CTravikDoc* doc = ActiveDocument()) printer_->Preview(*doc, PrintColumns(*doc), this);
}

void CMainFrame::OnFilePrint() {
    if (CTravikDoc* doc = ActiveDocument()) printer_->Print(*doc, PrintColumns(*doc), this);
}

void CMainFrame::OnEditFind() {
    if (activeView_) activeView_->OnFind();
}

void CMainFrame::OnEditUndo(bool redo) {
    CTravikDoc* doc = ActiveDocument();
    if (!doc) return;
    const std::optional<uint32_t> focus = redo ? doc->Redo() : doc->Undo();
    if (focus && *focus != EditStep::kNoFocus && activeView_) activeView_->GoToOffset(*focus, true);
    RepaintViews(*doc);
    RepaintMemory();
    UpdateCommandUi();
}

QString CMainFrame::StepLabel(bool redo) const {
    const CTravikDoc* doc = ActiveDocument();
    const std::string label = !doc ? std::string() : redo ? doc->History().RedoLabel() : doc->History().UndoLabel();
    const QString verb = redo ? "&Redo" : "&Undo";
    return label.empty() ? verb : verb + " " + QString::fromLocal8Bit(label.c_str());
}

void CMainFrame::OnEditCopy() {
    CTravikDoc* doc = ActiveDocument();
    if (!doc) return;
    std::string text;
    if (memoryView_ && memoryView_->hasFocus())
        text = MemoryCopyText(*doc, memoryView_->State().Current());
    else if (activeView_)
        text = CopyText(*doc, activeView_->State().cursorOffset);
    QGuiApplication::clipboard()->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

void CMainFrame::OnEditGoToAddress() {
    CTravikDoc* doc = ActiveDocument();
    if (!doc) return;
    const bool memory = memoryView_ && memoryView_->hasFocus() && memoryView_->Document() == doc;
    const std::optional<std::string> text =
        CAddressDlg::Ask(this, "Go to Address", memory ? "RAM address (hex):" : "Address (hex):");
    if (!text) return;
    const TypedAddress typed =
        memory ? ParseRamAddress(*text, doc->RamBase(), doc->RamSize())
               : ParseDisplayedAddress(*text, doc->Options().baseAddress, doc->ImageSize());
    if (!typed.offset) return ShowMessage(typed.error);
    if (memory) {
        memoryView_->ShowRamOffset(static_cast<int32_t>(*typed.offset));
    } else if (activeView_) {
        activeView_->GoToOffset(*typed.offset, true);
        activeView_->setFocus();
    }
    UpdateCommandUi();
}

void CMainFrame::FollowInMemory(uint32_t address) {
    CTravikDoc* doc = BarsDocument();
    if (!doc || address - doc->RamBase() >= doc->RamSize()) return Beep();
    if (bars_[kMemoryBar]->isHidden()) ToggleBar(kMemoryBar);
    memoryView_->ShowRamOffset(static_cast<int32_t>(address - doc->RamBase()));
    memoryView_->setFocus();
}

void CMainFrame::OnEditFindNext() {
    if (activeView_) activeView_->OnFindNext();
}

void CMainFrame::OnWindowArrange() {
    // Minimised windows in a row along the bottom, left to right.
    int x = 0;
    for (QMdiSubWindow* window : mdi_->subWindowList())
        if (window->isMinimized()) {
            window->move(x, mdi_->viewport()->height() - window->height());
            x += window->width();
        }
}

void CMainFrame::UpdateRecorders() {
    const bool io = !bars_[kIoMapBar]->isHidden();
    const bool pixels = !bars_[kPhoneBar]->isHidden();
    for (int i = 0; i < DocumentCount(); ++i) {
        Document(i)->Session().RecordIoAccesses(io);
        Document(i)->Session().RecordPixelWriters(pixels);
    }
}

void CMainFrame::GoToInstruction(uint32_t offset) {
    if (activeView_ == nullptr) return;
    activeView_->GoToOffset(offset, true);
    activeView_->setFocus();
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
    docs_.push_back({std::make_unique<CTravikDoc>(*this), nullptr, nullptr});
    CTravikDoc& doc = *docs_.back().doc;
    // An unattended open (a screenshot, a script) neither asks about nor keeps a journal.
    doc.SetKeepJournal(!unattended_);
    if (!doc.OnOpenDocument(full.toLocal8Bit().toStdString())) {
        docs_.pop_back();
        SetStatusText("Ready");
        return false;
    }
    docs_.back().printColumns = std::make_unique<CPrintColumnsDlg>(settings_, this);
    docs_.back().session = std::make_unique<WindowSession>(doc.Session(), *this);
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
    for (CTravikView* view : {frame->FirstView(), frame->SecondView()}) {
        view->SetSharedInput(&listingInput_);
        connect(view, &CTravikView::foundAll, this,
                [this](CTravikView* from, const std::vector<uint32_t>& items) {
                    std::vector<CItemListBar::Row> rows;
                    rows.reserve(items.size());
                    for (uint32_t item : items) rows.push_back({item, "", {}});
                    searchResults_->SetRows(from, std::move(rows), items.size());
                    if (bars_[kSearchResultsBar]->isHidden()) ToggleBar(kSearchResultsBar);
                });
        connect(view, &CTravikView::cursorMoved, this, [this](CTravikView* moved) {
            if (moved == activeView_) references_->Follow(moved);
        });
    }
    connect(frame, &CChildFrame::closed, this, [this](CChildFrame* closed) {
        closed->setProperty("closing", true);
        // Deleted from the event loop, never inside its own close handling.
        QMetaObject::invokeMethod(
            this,
            [this, window = QPointer<CChildFrame>(closed)] {
                if (!window) return;
                CTravikDoc& doc = window->Document();
                delete window.data();
                // A run goes on in the document's session while a window of it stays.
                if (ChildFrames(&doc).isEmpty()) DestroyDocument(doc);
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
    if (gdb_ && &gdb_->Document() == &doc) StopGdbServer();
    // A run of the document ends with it; its windows no longer say how far it got.
    if (doc.Session().LongRunActive()) SetStatusText("Ready");
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
    if (references_) references_->Follow(view);
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
        if (open.doc->Session().LongRunActive()) return true;
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
    // While the GDB server is open, what it is doing stands where "Ready" would.
    if (text == "Ready" && gdb_ && !gdb_->Status().isEmpty())
        statusPane_->setText(gdb_->Status());
    else
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
    // A document opened while the bars are shown records from its Start on.
    UpdateRecorders();
    ioMap_->RequestRebuild();
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
    ShowBox(QMessageBox::Warning, text);
}

void CMainFrame::ShowNotice(const std::string& text) {
    ShowBox(QMessageBox::Information, text);
}

void CMainFrame::ShowBox(QMessageBox::Icon icon, const std::string& text) {
    const QString message = BoxText(text);
    if (unattended_) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        return;
    }
    if (icon == QMessageBox::Warning)
        QMessageBox::warning(isVisible() ? this : nullptr, "Travik", message);
    else
        QMessageBox::information(isVisible() ? this : nullptr, "Travik", message);
}

bool CMainFrame::AskYesNo(const std::string& text) {
    if (unattended_) return false;
    return QMessageBox::question(this, "Travik", BoxText(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
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
