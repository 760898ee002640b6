// `elf`: the image and its names as an ELF file for objdump and gdb.
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "document/RamFile.h"
#include "symbols/ElfExport.h"

int RunElfCommand(const std::vector<std::string>& args) {
    std::string flash, output;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size() && output.empty())
            output = args[++i];
        else if (!args[i].empty() && args[i][0] != '-' && flash.empty())
            flash = args[i];
        else
            return UsageError("elf");
    }
    if (flash.empty() || output.empty()) return UsageError("elf");

    CliFrame frame;
    auto doc = OpenForCli(frame, flash);
    if (!doc) return kExitOpenFailed;
    int error = 0;
    switch (ExportElf(*doc, output, &error)) {
        case ElfExportResult::kOk:
            return kExitOk;
        case ElfExportResult::kRefused:
            frame.ShowMessage(doc->OutputRefusal(output));
            break;
        case ElfExportResult::kCannotOpen:
            PrintFileError(kCannotOpenFile, output, error);
            break;
        case ElfExportResult::kWriteFailed:
            PrintFileError(kCannotWriteFile, output, error);
            break;
    }
    return kExitOpenFailed;
}
