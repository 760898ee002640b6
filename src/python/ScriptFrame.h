#pragma once

#include <memory>
#include <string>
#include <vector>

#include "document/CTravikDoc.h"
#include "shell/NullFrame.h"

// The frame of a document opened from Python: what the program would show in a message
// box or a notice is kept for the binding to raise or warn with; questions are kept too
// and get `answer`. The settings are the defaults.
class ScriptFrame final : public NullFrame {
  public:
    CTravikDoc* GetFirstDocument() override { return document; }
    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    // A notice that the info file was not there (a new one is made) is dropped: a script
    // hears of damage, not of a first open.
    void ShowNotice(const std::string& text) override;
    // The messages since the last call, line breaks as "\n".
    std::vector<std::string> TakeMessages();

    CTravikDoc* document = nullptr;
    bool answer = false;  // the answer to every question (Yes only while opening)

  private:
    std::vector<std::string> messages_;
};

// A document as Python holds it. While a run has let go of the interpreter lock no other
// call may touch it: `running` refuses them.
struct ScriptDocument {
    ScriptFrame frame;
    std::unique_ptr<CTravikDoc> doc;
    bool running = false;

    // The open document; raises RuntimeError when it is closed or a run is under way.
    CTravikDoc& Doc();

    // Marks the document busy while the interpreter lock is let go.
    class Busy {
      public:
        explicit Busy(ScriptDocument& d) : d_(d) { d_.running = true; }
        ~Busy() { d_.running = false; }
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

      private:
        ScriptDocument& d_;
    };
};
