// Feeds arbitrary bytes to the breakpoint side-file reader. Whatever it sets must
// write back to a file that reads whole and writes the same again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "document/DebugMarksFile.h"
#include "emulator/CEmulator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<uint8_t> flash(0x400, 0);
    static CEmulator first, second;
    [[maybe_unused]] static const bool attached = (first.AttachFlash(flash.data(), 0x400),
                                  second.AttachFlash(flash.data(), 0x400), true);
    for (CEmulator* emu : {&first, &second}) {
        emu->ClearBreakpoints();
        emu->ClearWatches();
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const DebugMarksReadResult result = ReadDebugMarks(bytes, first);
    for (const char c : result.firstBadText) {
        if (static_cast<unsigned char>(c) < 0x20) __builtin_trap();
    }
    if ((result.badLines == 0) != (result.firstBadLine == 0)) __builtin_trap();
    const std::string written = WriteDebugMarks(first);
    const DebugMarksReadResult again = ReadDebugMarks(written, second);
    if (again.badLines != 0 || WriteDebugMarks(second) != written) __builtin_trap();
    return 0;
}
