#pragma once

#include <QString>
#include <optional>

class SettingsStore;

// travik --print: the listing of a range of a flash file printed to a PDF file, as
// the Print command prints the selection, without a window.
struct BatchPrintArgs {
    QString flash;
    QString from, to;  // hex image offsets
    std::optional<QString> columns;
    QString output;
};

// Prints and returns the exit status: 0 done, 1 a file could not be opened or
// written, 2 bad arguments. Messages go to stderr. The display options and the number
// of columns (unless given) come from `settings`, which is only read.
int RunBatchPrint(const BatchPrintArgs& args, SettingsStore& settings);
