#pragma once

#include <string>
#include <vector>

class QWidget;

// A custom-painted window that shows lines of text (the listing, the registers, the
// memory dump) gives them to assistive technology by deriving from this: its
// accessible object is then a read-only, multi-line text of these lines, top to bottom,
// with the caret at the start of the cursor's line (selecting that line) when it has one.
// A window moved wholly out of its parents (a closed splitter pane) is not shown there.
class AccessibleLines {
  public:
    virtual ~AccessibleLines() = default;
    virtual std::vector<std::string> AccessibleLineTexts() const = 0;
    // The line of AccessibleLineTexts() the cursor stands on, or -1.
    virtual int AccessibleCursorLine() const { return -1; }

    // Installs the accessibility factory once; every window constructor may call it.
    static void InstallFactory();

  protected:
    // Tells assistive technology that the caret moved, when it did since the last call;
    // the window calls this after it painted.
    void NotifyAccessibleCursor(QWidget* self);

  private:
    int notifiedCursor_ = -1;
    std::string notifiedLine_;
};
