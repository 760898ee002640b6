// `analyze` and `jumplist`: what opening a flash file found.
#include <cstdio>

#include "cli/Commands.h"
#include "document/InfoFile.h"
#include "document/MoreAnalysis.h"

namespace {

struct Counts {
    uint64_t items = 0, routineStarts = 0, routineEnds = 0, calls = 0, branches = 0, literals = 0;
};

Counts CountFlags(const CTravikDoc& doc) {
    Counts c;
    const uint32_t count = doc.HalfwordCount();
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t f = doc.Flags()[i];
        if (!(f & flagbits::kContinuation)) ++c.items;
        if (f & flagbits::kRoutineStart) ++c.routineStarts;
        if (f & flagbits::kRoutineEnd) ++c.routineEnds;
        switch (doc.JumpKind(i)) {
            case jumpkind::kCall:
                ++c.calls;
                break;
            case jumpkind::kBranch:
                ++c.branches;
                break;
            case jumpkind::kLiteral:
                ++c.literals;
                break;
            default:
                break;
        }
    }
    return c;
}

uint64_t CountRamNames(const CTravikDoc& doc) {
    uint64_t named = 0;
    for (uint32_t i = 0; i < doc.RamNames().RamSize(); ++i) {
        if (doc.RamNames().At(i) != RamNameTable::Entry::None) ++named;
    }
    return named;
}

}  // namespace

int RunAnalyzeCommand(const std::vector<std::string>& args) {
    std::string path;
    bool save = false, more = false;
    for (const std::string& a : args) {
        if (a == "--save")
            save = true;
        else if (a == "--more")
            more = true;
        else if (path.empty() && !a.empty() && a[0] != '-')
            path = a;
        else
            return UsageError("analyze");
    }
    if (path.empty()) return UsageError("analyze");

    CliFrame frame;
    auto doc = OpenForCli(frame, path);
    if (!doc) return kExitOpenFailed;
    if (more) {
        const MoreReport r = FindMoreRoutines(*doc);
        std::printf("more routines: %zu (pointer %zu, prologue %zu, branch %zu, after end %zu)\n",
                    r.Routines(), r.pointerRoutines, r.prologueRoutines, r.branchRoutines,
                    r.afterEndRoutines);
        std::printf("more data items: %zu\n", r.dataItems);
    }
    const Counts c = CountFlags(*doc);
    std::printf("image: %u\n", doc->ImageSize());
    std::printf("items: %llu\n", static_cast<unsigned long long>(c.items));
    std::printf("routine starts: %llu\n", static_cast<unsigned long long>(c.routineStarts));
    std::printf("routine ends: %llu\n", static_cast<unsigned long long>(c.routineEnds));
    std::printf("calls: %llu\n", static_cast<unsigned long long>(c.calls));
    std::printf("branches: %llu\n", static_cast<unsigned long long>(c.branches));
    std::printf("literals: %llu\n", static_cast<unsigned long long>(c.literals));
    std::printf("notes: %zu\n", doc->Notes().Size());
    std::printf("headers: %zu\n", doc->Headers().Size());
    std::printf("footers: %zu\n", doc->Footers().Size());
    std::printf("explanations: %zu\n", doc->Explanations().Size());
    std::printf("ram names: %llu\n", static_cast<unsigned long long>(CountRamNames(*doc)));
    if (save) {
        if (!doc->OnSaveDocument(path)) return kExitOpenFailed;
        std::printf("saved: %s\n", InfoPathFor(path).c_str());
    }
    return kExitOk;
}

int RunJumplistCommand(const std::vector<std::string>& args) {
    std::string path;
    bool base = false;
    for (const std::string& a : args) {
        if (a == "--base")
            base = true;
        else if (path.empty() && !a.empty() && a[0] != '-')
            path = a;
        else
            return UsageError("jumplist");
    }
    if (path.empty()) return UsageError("jumplist");

    CliFrame frame;
    if (base)
        frame.settings.WriteProfileInt(settings::kSection, settings::kBaseAddress.name, kFlashBase);
    auto doc = OpenForCli(frame, path);
    if (!doc) return kExitOpenFailed;
    for (std::string line : frame.jumpList) {
        line.push_back('\0');
        if (!WriteEscaped(line)) break;  // reported when the output is finished
    }
    return kExitOk;
}
