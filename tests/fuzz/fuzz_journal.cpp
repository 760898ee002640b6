// Feeds arbitrary bytes to the journal reader, after a header that matches the image so
// that the records are read. Every step it gives must encode to bytes that read back
// the same, and applying it to a document and then what Apply returned must leave the
// document exactly as it was.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "document/CTravikDoc.h"
#include "document/Journal.h"
#include "shell/Checksum.h"
#include "shell/NullFrame.h"

namespace {

struct Fixture {
    Fixture() : doc(frame) {
        char path[] = "/tmp/fuzz-journal-XXXXXX";
        const int fd = mkstemp(path);
        const std::string image(0x200, '\x46');
        if (fd < 0 || write(fd, image.data(), image.size()) != static_cast<ssize_t>(image.size()))
            std::abort();
        close(fd);
        doc.SetKeepJournal(false);
        if (!doc.OnOpenDocument(path)) std::abort();
        unlink(path);
        header = journal::Header(doc.Image(), doc.ImageSize());
    }
    uint64_t State() const {
        const uint64_t sum = Checksum64(doc.Flags(), doc.HalfwordCount()) ^ doc.InfoFileBytes();
        return sum ^ Checksum64(doc.RamBytes(), doc.RamSize()) * 31;
    }
    NullFrame frame;
    CTravikDoc doc;
    std::string header;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Fixture f;
    const std::string bytes = f.header + std::string(reinterpret_cast<const char*>(data), size);
    const journal::Contents contents = journal::Read(bytes, f.header);
    if (contents.goodBytes + contents.droppedBytes != bytes.size()) std::abort();
    for (const EditStep& step : contents.steps) {
        if (DecodeStep(EncodeStep(step)) != step) std::abort();
        const uint64_t before = f.State();
        std::vector<DocEdit> back;
        for (const DocEdit& edit : step.edits) back.push_back(f.doc.Apply(edit));
        for (auto it = back.rbegin(); it != back.rend(); ++it) f.doc.Apply(*it);
        if (f.State() != before) std::abort();
    }
    return 0;
}
