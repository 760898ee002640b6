// travik-cli: the batch tool. Each command opens a flash file exactly as the program
// does and prints what scripts and tests need.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/Commands.h"

namespace {

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>& args);
};

const Command kCommands[] = {
    {"analyze", RunAnalyzeCommand},
    {"jumplist", RunJumplistCommand},
    {"lines", RunLinesCommand},
    {"export", RunExportCommand},
    {"run", RunRunCommand},
};

int Usage() {
    std::fputs("usage: travik-cli COMMAND ARGS...\ncommands:", stderr);
    for (const Command& c : kCommands) std::fprintf(stderr, " %s", c.name);
    std::fputs("\n", stderr);
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const Command& c : kCommands) {
        if (std::strcmp(argv[1], c.name) == 0) return c.run(args);
    }
    return Usage();
}
