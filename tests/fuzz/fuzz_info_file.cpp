// Feeds arbitrary bytes to the info-file reader. The image size is taken from the
// input's own size field (kept small) so that most inputs get past the size check.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "document/InfoFile.h"

namespace {

// Empty tables for an image of `imageSize` bytes, as an open prepares them.
struct Tables {
    explicit Tables(uint32_t imageSize) : flags(imageSize / 2) {
        for (auto& t : texts) t.Reset(imageSize / 2);
        names.Reset(0x10000);
        view = {imageSize, flags.data(), {&texts[0], &texts[1], &texts[2], &texts[3]}, &names};
    }
    std::vector<uint8_t> flags;
    AnnotationTable texts[4];
    RamNameTable names;
    InfoTables view;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint32_t imageSize = 0;
    if (size >= 4) std::memcpy(&imageSize, data, 4);
    imageSize &= 0x3FFF;
    Tables first(imageSize);
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (ReadInfoFile(bytes, first.view) == InfoReadResult::kOk) {
        // What was read must write back to a file that reads the same.
        const std::string again = WriteInfoFile(first.view);
        Tables second(imageSize);
        if (ReadInfoFile(again, second.view) != InfoReadResult::kOk ||
            WriteInfoFile(second.view) != again) {
            __builtin_trap();
        }
    }
    return 0;
}
