// `lines` and `export`: the listing of a range as the export writes it.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "listing/Export.h"

namespace {

constexpr const char* kExportNoSelection = "Please select an area to export (with P / shift-P).";
constexpr const char* kCannotOpenFile = "Cannot open file";
constexpr const char* kCannotWriteFile = "Cannot write file";

struct ListingArgs {
    std::string path;
    std::optional<uint32_t> from;
    std::optional<uint32_t> to;
    std::optional<std::string> output;
    bool base = false;
    bool lower = false;
    bool noHex = false;
    bool noAscii = false;
    bool noStrings = false;
    bool gnu = false;
};

// False on any word it does not know; `withOutput` allows -o FILE.
bool ParseListingArgs(const std::vector<std::string>& args, bool withOutput, ListingArgs& out) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--from" || a == "--to") {
            if (!hasValue) return false;
            const std::optional<uint32_t> value = ParseHex(args[++i]);
            if (!value) return false;
            (a == "--from" ? out.from : out.to) = value;
        } else if (a == "-o" && withOutput) {
            if (!hasValue || args[i + 1].empty()) return false;
            out.output = args[++i];
        } else if (a == "--base") {
            out.base = true;
        } else if (a == "--lower") {
            out.lower = true;
        } else if (a == "--no-hex") {
            out.noHex = true;
        } else if (a == "--no-ascii") {
            out.noAscii = true;
        } else if (a == "--no-strings") {
            out.noStrings = true;
        } else if (a == "--gnu") {
            out.gnu = true;
        } else if (out.path.empty() && !a.empty() && a[0] != '-') {
            out.path = a;
        } else {
            return false;
        }
    }
    return !out.path.empty();
}

// The options start at their defaults; the switches change them before the document
// reads them.
void ApplyOptions(const ListingArgs& a, CliFrame& frame) {
    SettingsStore& store = frame.settings;
    if (a.base) settings::Write(store, settings::kBaseAddress, static_cast<int>(kFlashBase));
    if (a.lower) settings::Write(store, settings::kLowerCase, 1);
    if (a.noHex) settings::Write(store, settings::kViewHex, 0);
    if (a.noAscii) settings::Write(store, settings::kViewAscii, 0);
    if (a.noStrings) settings::Write(store, settings::kViewSystemStrings, 0);
    if (a.gnu) settings::Write(store, settings::kGnuSyntax, 1);
}

// Item starts are even; a range given from an odd offset starts at its halfword.
uint32_t EvenStart(uint32_t offset) {
    return offset & ~1u;
}

}  // namespace

int RunLinesCommand(const std::vector<std::string>& args) {
    ListingArgs a;
    if (!ParseListingArgs(args, false, a)) return UsageError("lines");

    CliFrame frame;
    ApplyOptions(a, frame);
    auto doc = OpenForCli(frame, a.path);
    if (!doc) return kExitOpenFailed;
    const uint32_t from = EvenStart(a.from.value_or(0));
    const uint32_t to = a.to.value_or(doc->ImageSize() - 1);
    // Lines end in '\0' here, which cannot occur in a text, so that the escaping writer
    // can tell the line ends from line breaks typed into an annotation.
    WriteListing(*doc, from, to, std::string_view("\0", 1), WriteEscaped);
    return kExitOk;  // a failed write is reported when the output is finished
}

int RunExportCommand(const std::vector<std::string>& args) {
    ListingArgs a;
    if (!ParseListingArgs(args, true, a) || !a.from || !a.to || !a.output) {
        return UsageError("export");
    }

    CliFrame frame;
    ApplyOptions(a, frame);
    auto doc = OpenForCli(frame, a.path);
    if (!doc) return kExitOpenFailed;
    doc->SetSelection(EvenStart(*a.from), *a.to);
    // A range with nothing in it is a mistake in the command: the target is never opened.
    if (doc->SelectionStart() == doc->SelectionEnd()) {
        frame.ShowMessage(kExportNoSelection);
        return kExitUsage;
    }
    if (*a.from > *a.to) {
        std::fprintf(stderr, "--from %x lies after --to %x\n", *a.from, *a.to);
        return UsageError("export");
    }
    if (*a.from >= doc->ImageSize()) {
        std::fprintf(stderr, "--from %x lies beyond the image (%x bytes)\n", *a.from,
                     doc->ImageSize());
        return UsageError("export");
    }
    const std::string target = ExportPathFor(*a.output);
    int error = 0;
    switch (ExportSelection(*doc, target, &error)) {
        case ExportResult::kOk:
            return kExitOk;
        case ExportResult::kCannotOpen:
            PrintFileError(kCannotOpenFile, target, error);
            return kExitOpenFailed;
        case ExportResult::kWriteFailed:
            PrintFileError(kCannotWriteFile, target, error);
            return kExitOpenFailed;
        case ExportResult::kRefused:
            frame.ShowMessage(doc->OutputRefusal(target));
            return kExitOpenFailed;
        case ExportResult::kEmptyRange:
            return UsageError("export");
    }
    return kExitOpenFailed;
}
