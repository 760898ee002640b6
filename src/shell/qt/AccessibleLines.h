#pragma once

#include <string>
#include <vector>

// A custom-painted window that shows lines of text (the listing, the registers, the
// memory dump) gives them to assistive technology by deriving from this: its
// accessible object is then a read-only, multi-line text of these lines, top to bottom.
class AccessibleLines {
  public:
    virtual ~AccessibleLines() = default;
    virtual std::vector<std::string> AccessibleLineTexts() const = 0;

    // Installs the accessibility factory once; every window constructor may call it.
    static void InstallFactory();
};
