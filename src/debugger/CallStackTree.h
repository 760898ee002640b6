#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CTravikDoc;

// What the Call Stack bar shows: a root item and one nested line of calls below it,
// outermost first, every level open.
struct CallStackModel {
    // Deeper chains show only their newest calls, below one item that counts the rest:
    // code that returns with BX LR leaves a record per call, so list 1 can grow to
    // millions of records, and the tree is rebuilt on every call.
    static constexpr size_t kShownCalls = 256;

    std::string root;                // "Emulator Root" or "Manual browsing"
    std::vector<std::string> items;  // from the root's child down to the deepest item
};

// Builds the model from the document's emulator: list 1 while an emulation is open,
// the listing's browsing trail (list 0) otherwise. Its cost does not grow with the
// length of the list.
CallStackModel BuildCallStack(const CTravikDoc& doc);
