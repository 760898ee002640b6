// Feeds arbitrary bytes to the symbol readers (ELF, nm output, ADDRESS NAME lines) and
// imports what they accept into a small document: every name taken is bounded UTF-8
// text, and Undo puts back exactly the flags, headers and RAM names there were.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "symbols/SymbolImport.h"

namespace {

struct AlternatingFrame : NullFrame {
    bool AskYesNo(const std::string&) override { return (++asked & 1) != 0; }
    unsigned asked = 0;
};

std::string State(const CTravikDoc& doc) {
    std::string state(reinterpret_cast<const char*>(doc.Flags()), doc.HalfwordCount());
    doc.Headers().ForEach(
        [&](uint32_t i, const std::string& t) { state += std::to_string(i) + t + '\0'; });
    doc.RamNames().ForEachName([&](uint32_t i, const std::string& name, uint32_t count) {
        state += std::to_string(i) + ':' + std::to_string(count) + name + '\0';
    });
    return state;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static AlternatingFrame frame;
    static const std::unique_ptr<CTravikDoc> opened = OpenZeros(frame, 64);
    CTravikDoc& doc = *opened;
    const SymbolFile file =
        ReadSymbolFile(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!file.error.empty()) {
        if (!file.symbols.empty()) __builtin_trap();
        return 0;
    }
    for (const SymbolEntry& s : file.symbols) {
        if (s.name.empty() || s.name.size() > kMaxSymbolName) __builtin_trap();
        for (const char c : s.name)
            if (static_cast<unsigned char>(c) < 0x20) __builtin_trap();
    }
    const std::string before = State(doc);
    ImportReport report;
    if (!ImportSymbols(doc, file.symbols, report).empty()) return 0;
    if (report.routines + report.ramNames + report.skipped > file.symbols.size()) __builtin_trap();
    if (report.changed && (!doc.Undo() || State(doc) != before)) __builtin_trap();
    return 0;
}
