#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The emulator's log as the Warning Messages bar keeps it: lines ended by CR LF; an
// empty line clears it first; it takes lines while it holds fewer than kCapacity
// characters and never drops old ones.
class WarningsLog {
  public:
    static constexpr size_t kCapacity = 9000;

    enum class Change { kDropped, kAppended, kClearedAndAppended };
    // Adds one line; says what the display must do.
    Change Add(std::string_view line);

    const std::string& Text() const { return text_; }

  private:
    std::string text_;
};
