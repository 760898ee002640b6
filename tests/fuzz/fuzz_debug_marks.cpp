// Feeds arbitrary bytes to the breakpoint side-file reader. Whatever it sets must
// write back to a file that reads whole and writes the same again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "document/DebugMarksFile.h"
#include "emulator/CEmulator.h"

namespace {

struct Fixture {
    Fixture() : flash(0x400, 0) {
        for (CEmulator* emu : {&first, &second}) emu->AttachFlash(flash.data(), 0x400);
    }
    std::vector<uint8_t> flash;
    CEmulator first;
    CEmulator second;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Fixture f;
    for (CEmulator* emu : {&f.first, &f.second}) {
        emu->ClearBreakpoints();
        emu->ClearWatches();
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const DebugMarksReadResult result = ReadDebugMarks(bytes, f.first);
    for (const char c : result.firstBadText) {
        if (static_cast<unsigned char>(c) < 0x20) __builtin_trap();
    }
    if ((result.badLines == 0) != (result.firstBadLine == 0)) __builtin_trap();
    const std::string written = WriteDebugMarks(f.first);
    const DebugMarksReadResult again = ReadDebugMarks(written, f.second);
    if (again.badLines != 0 || WriteDebugMarks(f.second) != written) __builtin_trap();
    return 0;
}
