#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <map>
#include <memory>
#include <span>
#include <vector>

#include "listing/qt/CTravikView.h"
#include "shell/FrameServices.h"
#include "app/CommandTable.h"

class CCallStackDlg;
class CGdbServerDlg;
class GdbServer;
class CChildFrame;
class CEmulatorView;
class WindowSession;
class CMemoryView;
class CPhoneDlg;
class CItemListBar;
class CReferencesBar;
class CIoMapDlg;
class CPrintColumnsDlg;
class CResizableBar;
class CToolBarCombo;
class CTravikDoc;
class CWarningsDlg;
class ListingPrinter;
class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;
class QtSettingsStore;

// The main window: menus, toolbar with the task and jump lists, status bar, the
// listing windows of every open document and the five debugger bars. It carries out
// the frame services for the rest of the program.
class CMainFrame : public QMainWindow, public FrameServices {
    Q_OBJECT
  public:
    // The bars' keys; the order in which they are created.
    enum Bar {
        kCallStackBar,
        kEmulatorBar,
        kWarningsBar,
        kMemoryBar,
        kPhoneBar,
        kSearchResultsBar,
        kReferencesBar,
        kIoMapBar,
        kBarCount
    };

    explicit CMainFrame(QtSettingsStore& settings, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // --- documents -------------------------------------------------------------------
    // Opens a flash file in a new listing window (or activates the window of an open
    // one). False when the file could not be opened; the document said why.
    bool OpenDocumentFile(const QString& path);
    // Asks for a new document, which is refused: nothing opens.
    void OnFileNew();
    // Closes every window of the document, asking first whether to save its changes.
    // False when the user cancelled.
    bool CloseDocument(CTravikDoc& doc);
    int DocumentCount() const { return static_cast<int>(docs_.size()); }
    CTravikDoc* Document(int index) const;
    // The document of the active view, or none.
    CTravikDoc* ActiveDocument() const;
    CTravikView* ActiveView() const { return activeView_; }
    // The document the debugger bars show: the active one (the first while no view is
    // active). The bars switch with the active window.
    CTravikDoc* BarsDocument();
    QList<CChildFrame*> ChildFrames(const CTravikDoc* doc = nullptr) const;
    void RepaintViews(const CTravikDoc& doc);

    // --- commands, bars, controls (also what the tests drive) -------------------------
    QAction* Action(int commandId) const;
    CResizableBar* BarOf(Bar bar) const { return bars_[bar]; }
    CToolBarCombo* JumpList() const { return jumpList_; }
    CToolBarCombo* TaskList() const { return taskList_; }
    QLabel* StatusPane() const { return statusPane_; }
    QLabel* AddressPane() const { return addressPane_; }
    CWarningsDlg* Warnings() const { return warnings_; }
    CCallStackDlg* CallStack() const { return callStack_; }
    CPhoneDlg* Phone() const { return phone_; }
    CItemListBar* SearchResults() const { return searchResults_; }
    CReferencesBar* References() const { return references_; }
    // The GDB server (Debug > GDB Server...), while one is open.
    GdbServer* GdbServerOf() const { return gdb_.get(); }
    CGdbServerDlg* GdbServerDialog() const { return gdbDialog_; }
    QMdiArea* MdiArea() const { return mdi_; }
    // True while menu 129 (a document is open) is the menu bar.
    bool HasDocumentMenu() const { return documentMenu_; }
    // Runs the jump list's close-up rule on the combo's text.
    void OnComboCloseUp(CToolBarCombo* combo);
    // Messages go to stderr and questions are answered No: for runs without a user.
    void SetUnattended(bool unattended) { unattended_ = unattended; }
    // Enables commands and sets check marks from the current state.
    void UpdateCommandUi();
    // Ctrl+Tab (step 1) and Ctrl+Shift+Tab (step -1): the keyboard focus goes from the
    // listing through the shown bars in their order (Call Stack, Emulator, Warning
    // Messages, Memory Dump, Phone Emulator) and back to the listing.
    void CycleFocus(int step);

    // --- FrameServices -----------------------------------------------------------------
    CTravikDoc* GetFirstDocument() override;
    SettingsStore& Settings() override;
    void SetStatusText(const std::string& text) override;
    void AddWarning(const std::string& text) override;
    void AddJumpEntry(const std::string& text) override;
    void ClearJumpList() override;
    void RefreshCallStack() override;
    void UpdateAllViews(const CTravikDoc& doc) override;
    void StepsChanged(const CTravikDoc&) override { UpdateCommandUi(); }
    void RepaintRegisters() override;
    void RepaintMemory() override;
    void RepaintPhone() override;
    void ShowMessage(const std::string& text) override;
    void ShowNotice(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    void Beep() override;
    std::optional<std::string> ChooseOpenFile(const std::string& filter) override;
    std::optional<std::string> ChooseSaveFile(const std::string& filter) override;

    // "A (*.a)|*.a|B|*.*||" -> "A (*.a);;B (*.*)".
    static QString ConvertFilter(const std::string& filter);

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    struct OpenDoc {
        std::unique_ptr<CTravikDoc> doc;
        std::unique_ptr<CPrintColumnsDlg> printColumns;
        std::unique_ptr<WindowSession> session;  // destroyed before the document
    };

    // The commands, one row each (CommandTable.cpp): the actions, menus, toolbar
    // buttons and their enabling are made from it.
    static std::span<const Command> Commands();
    void CreateActions();
    void CreateMenus();
    // Fills the menu with its commands from the table, parted where their group changes.
    void FillMenu(QMenu* menu, CommandMenu which, bool withDocument);
    void CreateToolBar();
    void CreateStatusBar();
    void CreateBars();
    void SwitchMenus();
    void RebuildRecentFiles();
    CChildFrame* CreateChildFrame(CTravikDoc& doc);
    void SetActiveView(CTravikView* view);
    // Shows another document in the bars when BarsDocument() changed; an edit open in a
    // bar belonged to the document shown before and is dropped.
    void UpdateBarsDocument();
    void OnSubWindowActivated(QMdiSubWindow* window);
    void UpdateTitles();
    bool SaveModified(CTravikDoc& doc);
    bool CanCloseChild(CChildFrame* frame);
    void DestroyDocument(CTravikDoc& doc);
    void ToggleBar(Bar bar);
    // Every document records what the shown bars need: the I/O map for the I/O Map
    // bar, the display writers for the Phone bar; nothing while they are hidden.
    void UpdateRecorders();
    // Shows the image offset in the active listing, forced.
    void GoToInstruction(uint32_t offset);
    void WriteBarKeys();
    QToolBar* ToolBar() const { return toolBar_; }
    void OnFileOpen();
    void OnFileClose();
    void OnFileSave();
    void OnFileMerge();
    void OnFileFixInfo();
    void OnFileLoadRam();
    void OnFileSaveRam();
    void OnFilePrintPreview();
    void OnFilePrint();
    void OnFileExport();
    void OnFileExportElf();
    void OnFileImportSymbols();
    void OnEditFind();
    // Undo, or Redo when `redo`: the listing goes to the step's item.
    void OnEditUndo(bool redo);
    // "&Undo Note at 0020004C" (or "&Redo ..."); "&Undo" with nothing to undo.
    QString StepLabel(bool redo) const;
    void OnEditCopy();
    // Ctrl+G: a displayed address in the listing, or a RAM address when the Memory Dump
    // has the focus.
    void OnEditGoToAddress();
    // Shows the Memory Dump with the stack RAM byte at `address` under its cursor.
    void FollowInMemory(uint32_t address);
    void OnEditFindNext();
    void OnWindowNew();
    void OnWindowArrange();
    void OnOptionsSettings();
    void OnDebugGdbServer();
    // Opens the GDB server for the active document; false (after a message) when it
    // cannot listen.
    bool StartGdbServer(quint16 port);
    void StopGdbServer();
    // The emulator's commands go to the active listing window.
    void OnRunCommand(RunCommand command);
    bool CanRunCommand(RunCommand command) const;
    // The document's number of printed columns (Options > Settings...).
    int PrintColumns(const CTravikDoc& doc) const;
    void ToggleOption(void (CTravikDoc::*toggle)());
    void FlushStatusPane();
    // A message in a box, or on stderr when unattended.
    void ShowBox(QMessageBox::Icon icon, const std::string& text);
    bool LongRunGoing() const;
    void CreateFocusKeys();
    // The bar holding `widget`, or -1.
    int BarHolding(const QWidget* widget) const;
    void FocusListing();
    // Bars squeezed by a small window get the thickness their content needs back.
    void FitBarsToContent();

    QtSettingsStore& settings_;
    std::vector<OpenDoc> docs_;
    std::unique_ptr<GdbServer> gdb_;  // goes before the documents
    CGdbServerDlg* gdbDialog_ = nullptr;
    QMdiArea* mdi_ = nullptr;
    std::map<int, QAction*> actions_;
    QList<QMenu*> menus128_, menus129_;
    QMenu* recent128_ = nullptr;  // the File menus, whose recent-file entries change
    QMenu* file129_ = nullptr;
    QList<QAction*> recentActions_;
    bool documentMenu_ = false;
    QToolBar* toolBar_ = nullptr;
    CToolBarCombo* taskList_ = nullptr;
    CToolBarCombo* jumpList_ = nullptr;
    QLabel* statusPane_ = nullptr;
    QLabel* addressPane_ = nullptr;  // the cursor's displayed address
    QElapsedTimer statusClock_;
    QTimer statusFlush_;
    CCallStackDlg* callStack_ = nullptr;
    CEmulatorView* emulatorView_ = nullptr;
    CWarningsDlg* warnings_ = nullptr;
    CMemoryView* memoryView_ = nullptr;
    CPhoneDlg* phone_ = nullptr;
    CItemListBar* searchResults_ = nullptr;
    CReferencesBar* references_ = nullptr;
    CIoMapDlg* ioMap_ = nullptr;
    CResizableBar* bars_[kBarCount] = {};
    QPointer<CTravikView> activeView_;
    const CTravikDoc* barsDocument_ = nullptr;  // only compared, never followed
    QTimer idleTimer_;
    bool unattended_ = false;
    bool closing_ = false;
    ListingInputState listingInput_;           // shared by every listing window
    std::unique_ptr<ListingPrinter> printer_;  // keeps the printer set-up between jobs
};
