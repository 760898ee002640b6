#pragma once

#include <optional>
#include <string>

class CTravikDoc;
class SettingsStore;

// Everything the core asks of the application and its main window. The Qt main
// frame implements it; the batch tool and the tests have their own.
class FrameServices {
  public:
    virtual ~FrameServices() = default;

    // The first open document (the one the jump list shows), or none.
    virtual CTravikDoc* GetFirstDocument() = 0;

    virtual SettingsStore& Settings() = 0;

    // Pane 0 of the status bar, redrawn at once.
    virtual void SetStatusText(const std::string& text) = 0;
    // One line for the warnings bar.
    virtual void AddWarning(const std::string& text) = 0;
    virtual void AddJumpEntry(const std::string& text) = 0;
    virtual void ClearJumpList() = 0;
    virtual void RefreshCallStack() = 0;
    // Repaints every listing window of the document (after a change of its flags,
    // annotations, options or emulator).
    virtual void UpdateAllViews(const CTravikDoc&) {}
    virtual void RepaintRegisters() = 0;
    virtual void RepaintMemory() = 0;
    // Repaints the phone picture with its background erased.
    virtual void RepaintPhone() = 0;

    // The document's undo history changed: a step was made, undone or redone.
    virtual void StepsChanged(const CTravikDoc&) {}

    // A modal box with an OK button. "\r\n" in the text is a line break.
    virtual void ShowMessage(const std::string& text) = 0;
    // The same box for a notice that is not an error (the batch tool marks it so).
    virtual void ShowNotice(const std::string& text) { ShowMessage(text); }
    // A modal Yes/No box; true for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    // The platform's error sound.
    virtual void Beep() = 0;

    // File choosers. The filter has the form "Name (*.x)|*.x|All Files (*.*)|*.*||".
    // The answer is the chosen path, or none when the user cancels.
    virtual std::optional<std::string> ChooseOpenFile(const std::string& filter) = 0;
    virtual std::optional<std::string> ChooseSaveFile(const std::string& filter) = 0;
};
