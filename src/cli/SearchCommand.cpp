// `search`: the Find command's search from the batch tool.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "listing/Search.h"

int RunSearchCommand(const std::vector<std::string>& args) {
    std::string path;
    std::optional<std::string> pattern;
    int mode = kSearchHex;
    uint32_t start = 0;
    bool all = false;
    bool annotationsToo = false;
    CliFrame frame;
    SettingsStore& store = frame.settings;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (optionsEnded || a.empty() || a[0] != '-') {
            if (path.empty())
                path = a;
            else if (!pattern)
                pattern = a;
            else
                return UsageError("search");
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a == "--mode" && hasValue) {
            const std::string& value = args[++i];
            if (value.size() != 1 || value[0] < '1' || value[0] > '4') return UsageError("search");
            mode = value[0] - '0';
        } else if (a == "--start" && hasValue) {
            const std::optional<uint32_t> value = ParseHex(args[++i]);
            if (!value) return UsageError("search");
            start = *value;
        } else if (a == "--all") {
            all = true;
        } else if (a == "--notes") {
            annotationsToo = true;
        } else if (a == "--base") {
            settings::Write(store, settings::kBaseAddress, static_cast<int>(kFlashBase));
        } else if (a == "--lower") {
            settings::Write(store, settings::kLowerCase, 1);
        } else if (a == "--no-hex") {
            settings::Write(store, settings::kViewHex, 0);
        } else if (a == "--no-ascii") {
            settings::Write(store, settings::kViewAscii, 0);
        } else if (a == "--no-strings") {
            settings::Write(store, settings::kViewSystemStrings, 0);
        } else if (a == "--gnu") {
            settings::Write(store, settings::kGnuSyntax, 1);
        } else {
            return UsageError("search");
        }
    }
    if (path.empty() || !pattern) return UsageError("search");
    if (pattern->empty()) {
        std::fputs("search: the pattern is empty\n", stderr);
        return UsageError("search");
    }
    // What the Find dialog would not let through.
    if ((mode == kSearchHex || mode == kSearchHexUnaligned) && !IsHexPattern(*pattern)) {
        std::fprintf(stderr,
                     "search: modes 1 and 2 take hex digits and ? wildcards only (0-9, a-f, A-F, "
                     "?); use --mode 3 or 4 for text\n");
        return UsageError("search");
    }
    // The dialog's box for an odd aligned pattern; here a usage error, found before the
    // file is opened.
    if (mode == kSearchHex && pattern->size() % 2 != 0) {
        std::fprintf(stderr, "search: %s\n", kOddHexDigits);
        return UsageError("search");
    }
    if ((mode == kSearchHex || mode == kSearchHexUnaligned) &&
        pattern->find_first_not_of(kWildcard) == std::string::npos) {
        std::fprintf(stderr, "search: %s\n", kOnlyWildcards);
        return UsageError("search");
    }

    auto doc = OpenForCli(frame, path);
    if (!doc) return kExitOpenFailed;
    if (all) {
        const std::vector<uint32_t> results = SearchAll(*doc, *pattern, mode, annotationsToo);
        for (uint32_t offset : results) std::printf("%x\n", offset);
        if (results.empty()) std::printf("-1\n");
        return results.empty() ? kExitOpenFailed : kExitOk;
    }
    const int32_t result = Search(*doc, *pattern, start, mode, annotationsToo);
    if (result < 0) {
        std::printf("-1\n");
        return kExitOpenFailed;
    }
    std::printf("%x\n", static_cast<uint32_t>(result));
    return kExitOk;
}
