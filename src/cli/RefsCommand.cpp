// `refs`: what refers to an item, as the References bar lists it.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "listing/References.h"

int RunRefsCommand(const std::vector<std::string>& args) {
    std::string path;
    std::optional<uint32_t> address;
    CliFrame frame;
    for (const std::string& a : args) {
        if (a == "--base") {
            settings::Write(frame.settings, settings::kBaseAddress, static_cast<int>(kFlashBase));
        } else if (!a.empty() && a[0] != '-' && path.empty()) {
            path = a;
        } else if (!a.empty() && a[0] != '-' && !address) {
            address = ParseHex(a);
            if (!address) return UsageError("refs");
        } else {
            return UsageError("refs");
        }
    }
    if (path.empty() || !address) return UsageError("refs");
    auto doc = OpenForCli(frame, path);
    if (!doc) return kExitOpenFailed;
    if (*address < kFlashBase || *address - kFlashBase >= doc->ImageSize()) {
        std::fprintf(stderr,
                     "refs: %x is not a flash address of this image (image offset + 200000)\n",
                     *address);
        return UsageError("refs");
    }
    const uint32_t target = doc->ItemStart(*address - kFlashBase);
    for (const Reference& reference : ReferencesTo(*doc, target)) {
        if (!WriteEscaped(ReferenceLine(*doc, reference))) return kExitOpenFailed;
        std::fputc('\n', stdout);
    }
    return kExitOk;
}
