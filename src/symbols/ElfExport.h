#pragma once

#include <string>

class CTravikDoc;

inline constexpr const char* kElfFilter = "ELF Files (*.elf)|*.elf|All Files (*.*)|*.*||";

// The image and its names as an ELF32 big-endian ARM executable that objdump, readelf
// and gdb read:
//   .text            the image at 0x200000 (PT_LOAD, read and execute)
//   .ram             the stack RAM at 0x100000, no bytes in the file (PT_LOAD, read and
//                    write)
//   .travik.notes    every annotation text, so that nothing a symbol cannot carry is
//                    lost (format below)
//   .ARM.attributes  ARMv4T with ARM and THUMB code (objdump decodes no Thumb-2)
//   .symtab          a FUNC symbol per routine start (its header as a symbol name, see
//                    SymbolNameFor; THUMB routines with bit 0 set; sized to the next
//                    routine start), an OBJECT symbol per RAM name (sized to its bytes),
//                    and the mapping symbols $t, $a and $d where THUMB code, ARM code and
//                    data items begin.
// .travik.notes holds one line per text (LF ends each): "ADDRESS KIND TEXT", ADDRESS
// eight hex digits (the phone address: image offset + 200000, RAM offset + 100000),
// KIND one of note, header, footer, explanation, ram; in TEXT a backslash is written
// "\\", a line feed "\n", a carriage return "\r" and other control characters "\xNN".
std::string MakeElf(const CTravikDoc& doc);

enum class ElfExportResult {
    kOk,
    kRefused,      // the document's OutputRefusal forbids the path: nothing written
    kCannotOpen,   // nothing written
    kWriteFailed,  // nothing written: an older file stays as it was
};
// Writes MakeElf to `path` as a whole new file. On failure `error` gets errno.
ElfExportResult ExportElf(const CTravikDoc& doc, const std::string& path, int* error = nullptr);

// The Export ELF command: asks for the file (".elf" is added to a name without a dot)
// and writes it; a failure is shown in a box.
void ExportElfCommand(CTravikDoc& doc);
