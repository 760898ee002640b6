// Loads arbitrary files as RAM images: whatever their length, the RAM gets the file's
// first bytes and keeps the rest.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "document/CTravikDoc.h"
#include "document/RamFile.h"
#include "shell/NullFrame.h"

namespace {

struct Fixture {
    Fixture() {
        char image[] = "/tmp/fuzz-ram-XXXXXX";
        const int fd = ::mkstemp(image);
        const std::string zeros(32, '\0');
        if (fd < 0 || ::write(fd, zeros.data(), zeros.size()) != 32) __builtin_trap();
        ::close(fd);
        doc = std::make_unique<CTravikDoc>(frame);
        if (!doc->OnOpenDocument(image)) __builtin_trap();
        ::unlink(image);
        char ram[] = "/tmp/fuzz-ram-file-XXXXXX";
        const int ramFd = ::mkstemp(ram);
        if (ramFd < 0) __builtin_trap();
        ::close(ramFd);
        ramPath = ram;
    }
    ~Fixture() { ::unlink(ramPath.c_str()); }
    NullFrame frame;
    std::unique_ptr<CTravikDoc> doc;
    std::string ramPath;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Fixture f;
    CTravikDoc& doc = *f.doc;
    doc.Apply(DocEdit{.parts = {DocEdit::RamBytes{0, std::vector<uint8_t>(doc.RamSize(), 0xA5)}}});
    FILE* file = std::fopen(f.ramPath.c_str(), "wb");
    if (file == nullptr) return 0;
    if (size > 0 && std::fwrite(data, 1, size, file) != size) __builtin_trap();
    std::fclose(file);
    const RamFileResult result = LoadRamFile(doc, f.ramPath);
    const size_t loaded = std::min<size_t>(size, doc.RamSize());
    if (result != (size < doc.RamSize() ? RamFileResult::kShort : RamFileResult::kOk))
        __builtin_trap();
    if ((loaded > 0 && std::memcmp(doc.RamBytes(), data, loaded) != 0) ||
        (loaded < doc.RamSize() && doc.RamBytes()[loaded] != 0xA5))
        __builtin_trap();
    return 0;
}
