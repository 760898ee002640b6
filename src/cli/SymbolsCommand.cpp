// `symbols`: names routines and RAM variables from an ELF file, nm output or ADDRESS NAME
// lines, and saves the info file when that changed it.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "symbols/SymbolImport.h"

int RunSymbolsCommand(const std::vector<std::string>& args) {
    bool answer = false;
    const auto paths = PathsAndAnswer(args, answer);
    if (!paths || paths->size() != 2) return UsageError("symbols");
    AnsweringFrame frame;
    frame.answer = answer;
    auto doc = OpenForCli(frame, (*paths)[0]);
    if (!doc) return kExitOpenFailed;
    ImportReport report;
    if (!ImportSymbolFile(*doc, (*paths)[1], report)) return kExitOpenFailed;
    std::printf("%s\n", ReportText(report).c_str());
    if (!report.changed) return kExitOk;
    return doc->OnSaveDocument(doc->GetPathName()) ? kExitOk : kExitOpenFailed;
}
