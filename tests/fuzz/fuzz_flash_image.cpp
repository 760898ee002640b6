// Feeds arbitrary bytes as a flash image: the open with its analysis, every listing
// line (and, in GNU syntax, the whole export), and a bounded emulator run from the first halfword and from one the input picks.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "listing/GnuExport.h"
#include "listing/LineText.h"

namespace {

void Run(CTravikDoc& doc, uint32_t offset) {
    DebugSession& session = doc.Session();
    session.Execute(RunCommand::kStart, offset);
    for (int i = 0; i < 300; ++i) session.Execute(RunCommand::kStepInto, offset);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    // The first byte picks the display options; the rest is the image.
    const uint8_t options = data[0];
    WriteBytes(FuzzFile("f.fls"), data + 1, size - 1);
    NullFrame frame;
    settings::Write(frame.settings, settings::kBaseAddress, (options & 1) ? 0x200000 : 0);
    settings::Write(frame.settings, settings::kLowerCase, (options >> 1) & 1);
    settings::Write(frame.settings, settings::kViewHex, (options >> 2) & 1);
    settings::Write(frame.settings, settings::kViewAscii, (options >> 3) & 1);
    settings::Write(frame.settings, settings::kViewSystemStrings, (options >> 4) & 1);
    settings::Write(frame.settings, settings::kGnuSyntax, (options >> 5) & 1);
    CTravikDoc doc(frame);
    if (!doc.OnOpenDocument(FuzzFile("f.fls"))) return 0;
    // Every line once, ending with "End of File"; a walk that went on longer would be
    // stuck.
    LineBuffer line;
    int sub = doc.FirstSubLine(0);
    int64_t o = 0;
    for (uint64_t lines = 0;; ++lines) {
        if (lines > 4 * uint64_t{doc.HalfwordCount()} + 4) __builtin_trap();
        GetLineText(doc, o, sub, line);
        if (sub == 2) break;
        o = doc.NextLine(o, sub);
    }
    if (doc.Options().gnuSyntax) GnuAssemblyText(doc, 0, doc.ImageSize() - 1);
    Run(doc, 0);
    Run(doc, (uint32_t{data[1]} << 8 | data[2]) % doc.ImageSize() & ~1u);
    return 0;
}
