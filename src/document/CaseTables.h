#pragma once

#include <cstdint>
#include <optional>
#include <vector>

class CTravikDoc;

// Compiler switch helpers: a routine called with BL that reads a table of case offsets
// lying right after the call (through LR), adds the entry to LR and returns there. Told
// apart by what the routine's code does, not by a name.
struct CaseHelper {
    uint8_t entryBytes = 1;  // 1, 2 or 4
    bool isSigned = false;
};

// The helper the routine at `offset` is, or nothing when its code does not read through LR.
std::optional<CaseHelper> RecogniseCaseHelper(const CTravikDoc& doc, uint32_t offset);

// The case table of the BL at `call` to a helper: its bytes and where its cases go.
struct CaseTable {
    uint32_t first = 0;  // image offset of the table (even), where the call returns to
    uint32_t bytes = 0;  // rounded up to whole halfwords; 0 when no case was read
    std::vector<uint32_t> targets;
};
// The number of cases is taken from the CMP Rn, #imm that guards the call when there is
// one; the table never runs into the code its cases lead to, nor past the image.
CaseTable ReadCaseTable(const CTravikDoc& doc, uint32_t call, const CaseHelper& helper);
