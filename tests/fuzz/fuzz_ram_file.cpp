// Loads arbitrary files as RAM images: whatever their length, the RAM gets the file's
// first bytes and keeps the rest.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "FuzzSupport.h"
#include "document/RamFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static NullFrame frame;
    static const std::unique_ptr<CTravikDoc> opened = OpenZeros(frame, 32);
    CTravikDoc& doc = *opened;
    doc.Apply(DocEdit{.parts = {DocEdit::RamBytes{0, std::vector<uint8_t>(doc.RamSize(), 0xA5)}}});
    WriteBytes(FuzzFile("ram"), data, size);
    const RamFileResult result = LoadRamFile(doc, FuzzFile("ram"));
    const size_t loaded = std::min<size_t>(size, doc.RamSize());
    if (result != (size < doc.RamSize() ? RamFileResult::kShort : RamFileResult::kOk))
        __builtin_trap();
    if ((loaded > 0 && std::memcmp(doc.RamBytes(), data, loaded) != 0) ||
        (loaded < doc.RamSize() && doc.RamBytes()[loaded] != 0xA5))
        __builtin_trap();
    return 0;
}
