#include "debugger/CallStackTree.h"

#include <cstdio>

#include "document/CTravikDoc.h"

CallStackModel BuildCallStack(const CTravikDoc& doc) {
    const CEmulator& emulator = doc.Emulator();
    const bool emulating = emulator.runState != CEmulator::kStopped;
    CallStackModel model;
    model.root = emulating ? "Emulator Root" : "Manual browsing";
    // Browsing records hold image offsets; emulated ones phone addresses in the flash
    // window, shown as the listing shows the current instruction.
    auto shown = [&](uint32_t value) {
        return (emulating ? (value & 0xFFFFF) : value) + doc.Options().baseAddress;
    };
    const std::vector<CallRecord>& list = emulator.callTracks[emulating ? 1 : 0];
    size_t first = 0;
    char text[48];
    if (list.size() > CallStackModel::kShownCalls) {
        first = list.size() - CallStackModel::kShownCalls;
        std::snprintf(text, sizeof text, "(%zu older calls)", first);
        model.items.emplace_back(text);
    }
    model.items.reserve(model.items.size() + list.size() - first);
    for (size_t i = first; i < list.size(); ++i) {
        std::snprintf(text, sizeof text, "%.8X -> %.8X", shown(list[i].callSite),
                      shown(list[i].target));
        model.items.emplace_back(text);
    }
    return model;
}
