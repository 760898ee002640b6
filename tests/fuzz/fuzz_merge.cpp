// Feeds arbitrary bytes to the merge as another info file of a small document whose
// annotations and flags are reset before each input. Questions are answered Yes and No
// in turn so that both ways are taken.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "../support/TestDoc.h"
#include "FuzzSupport.h"
#include "document/Merge.h"

namespace {

constexpr uint32_t kImageSize = 64;

struct AnsweringFrame : NullFrame {
    bool AskYesNo(const std::string&) override { return (++asked & 1) != 0; }
    unsigned asked = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static AnsweringFrame frame;
    static const std::unique_ptr<CTravikDoc> opened = OpenZeros(frame, kImageSize);
    CTravikDoc& doc = *opened;
    const uint32_t count = doc.HalfwordCount();
    TestDoc::ClearTexts(doc);
    // Half the halfwords marked with a text of each kind, so every rule is reachable.
    for (uint32_t i = 0; i < count; ++i) {
        TestDoc::Flags(doc)[i] = itemtype::kThumb | (i % 2 ? flagbits::kUserMark : 0);
        if (i % 3 == 0) TestDoc::Texts(doc, DocEdit::TextKind::kNote).Set(i, "n");
        if (i % 4 == 0) TestDoc::Texts(doc, DocEdit::TextKind::kHeader).Set(i, "Routine");
    }
    std::string bytes(reinterpret_cast<const char*>(data), size);
    // Most inputs should get past the size check.
    if (bytes.size() >= 4) std::memcpy(bytes.data(), &kImageSize, 4);
    MergeInfoBytes(doc, bytes, "fuzz.ifo");
    for (int kind = 0; kind < 4; ++kind) {
        doc.Texts(static_cast<DocEdit::TextKind>(kind))
            .ForEach([&](uint32_t index, const std::string& text) {
                if (index >= count || text.empty() || text.find('\0') != std::string::npos)
                    __builtin_trap();
            });
    }
    return 0;
}
