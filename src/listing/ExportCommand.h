#pragma once

class CTravikDoc;

inline constexpr const char* kExportFilter =
    "ARM Assembly Files (*.asm)|*.asm|All Files (*.*)|*.*||";
inline constexpr const char* kExportNoSelection =
    "Please select an area to export (with P / shift-P).";

// The Export command: refuses an empty selection, asks for the file (".asm" is added to
// a name without a dot) and writes the selection. Failures are shown in a box: the file
// cannot be created, a write failed (an older file then stays as it was), or the name
// leads to the open flash file.
void ExportAssembly(CTravikDoc& doc);
