// Feeds arbitrary bytes to the info-file reader. The image size is taken from the
// input's own size field (kept small) so that most inputs get past the size check.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "document/InfoFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint32_t imageSize = 0;
    if (size >= 4) std::memcpy(&imageSize, data, 4);
    imageSize &= 0x3FFF;
    std::vector<uint8_t> flags(imageSize / 2);
    AnnotationTable texts[4];
    for (auto& t : texts) t.Reset(imageSize / 2);
    RamNameTable names;
    names.Reset(0x10000);
    InfoTables tables{
        imageSize, flags.data(), {&texts[0], &texts[1], &texts[2], &texts[3]}, &names};
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (ReadInfoFile(bytes, tables) == InfoReadResult::kOk) {
        // What was read must write back to a file that reads the same.
        const std::string again = WriteInfoFile(tables);
        std::vector<uint8_t> flags2(imageSize / 2);
        AnnotationTable texts2[4];
        for (auto& t : texts2) t.Reset(imageSize / 2);
        RamNameTable names2;
        names2.Reset(0x10000);
        InfoTables tables2{
            imageSize, flags2.data(), {&texts2[0], &texts2[1], &texts2[2], &texts2[3]}, &names2};
        if (ReadInfoFile(again, tables2) != InfoReadResult::kOk || WriteInfoFile(tables2) != again)
            __builtin_trap();
    }
    return 0;
}
