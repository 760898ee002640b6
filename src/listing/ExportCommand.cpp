#include "listing/ExportCommand.h"

#include <optional>
#include <string>

#include "document/CTravikDoc.h"
#include "document/RamFile.h"
#include "listing/Export.h"
#include "shell/FrameServices.h"

void ExportAssembly(CTravikDoc& doc) {
    FrameServices& frame = doc.Frame();
    if (doc.SelectionStart() == doc.SelectionEnd()) {
        frame.ShowMessage(kExportNoSelection);
        return;
    }
    const std::optional<std::string> chosen = frame.ChooseSaveFile(kExportFilter);
    if (!chosen) return;
    const std::string path = ExportPathFor(*chosen);
    switch (ExportSelection(doc, path)) {
        case ExportResult::kOk:
            break;
        case ExportResult::kCannotOpen:
            frame.ShowMessage(kCannotOpenFile);
            break;
        case ExportResult::kWriteFailed:
            frame.ShowMessage(kCannotWriteFile);
            break;
        case ExportResult::kRefused:
            frame.ShowMessage(doc.OutputRefusal(path));
            break;
        case ExportResult::kEmptyRange:
            frame.ShowMessage(kExportNoSelection);
            break;
    }
}
