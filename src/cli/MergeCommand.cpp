// `merge`, `fix` and `recover`: the Merge and "Fix ifo file" commands and the recovery of a
// journal's steps on the document that opening
// a flash file gives, saved to its info file.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "document/Merge.h"

namespace {

int SaveOrFail(CTravikDoc& doc) {
    return doc.OnSaveDocument(doc.GetPathName()) ? kExitOk : kExitOpenFailed;
}

}  // namespace

std::optional<std::vector<std::string>> PathsAndAnswer(const std::vector<std::string>& args,
                                                       bool& answer) {
    std::vector<std::string> paths;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--answer" && i + 1 < args.size()) {
            const std::string& value = args[++i];
            if (value != "yes" && value != "no") return std::nullopt;
            answer = value == "yes";
        } else if (!args[i].empty() && args[i][0] != '-') {
            paths.push_back(args[i]);
        } else {
            return std::nullopt;
        }
    }
    return paths;
}

int RunMergeCommand(const std::vector<std::string>& args) {
    bool answer = false;
    const auto paths = PathsAndAnswer(args, answer);
    if (!paths || paths->size() != 2) return UsageError("merge");

    AnsweringFrame frame;
    frame.answer = answer;
    auto doc = OpenForCli(frame, (*paths)[0]);
    if (!doc) return kExitOpenFailed;
    // Only a merge that ran to its end is saved: a refused or damaged file leaves the
    // info file as it was.
    if (MergeInfoFile(*doc, (*paths)[1]) != MergeOutcome::kMerged) return kExitOpenFailed;
    return SaveOrFail(*doc);
}

int RunRecoverCommand(const std::vector<std::string>& args) {
    bool answer = false;
    const auto paths = PathsAndAnswer(args, answer);
    if (!paths || paths->size() != 1) return UsageError("recover");
    AnsweringFrame frame;
    frame.answer = answer;
    auto doc = OpenForCli(frame, (*paths)[0], true);
    if (!doc) return kExitOpenFailed;
    std::printf("recovered: %zu\n", doc->History().Steps());
    return doc->History().Steps() == 0 ? kExitOk : SaveOrFail(*doc);
}

int RunFixCommand(const std::vector<std::string>& args) {
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-') return UsageError("fix");
    CliFrame frame;
    auto doc = OpenForCli(frame, args[0]);
    if (!doc) return kExitOpenFailed;
    FixInfoFile(*doc);
    return SaveOrFail(*doc);
}
