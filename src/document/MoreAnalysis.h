#pragma once

#include <cstddef>

#include "document/DocEdit.h"

class CTravikDoc;

// "Find More Routines": a deeper look than the open's analysis, made only on request. It
// walks the code from the known routines and adds, without the user mark:
//   routine starts at THUMB code pointers in literal pools and data words ("Routine
//   (pointer)"), at PUSH {..., LR} prologues after the end of a routine ("Routine
//   (prologue)"), at the targets of branches that leave their routine backwards and of
//   the image's first branch ("Routine (branch)"), and, last, at code that follows the
//   end of a routine that nothing branches to ("Routine (after end)");
//   data items for the literal pools the walk loads from, the case tables of switch
//   helpers, tables of code pointers, zero-terminated strings no code reaches, and the
//   padding before a pool.
// Halfwords with the user mark, and texts that exist, are never changed.
struct MoreReport {
    size_t pointerRoutines = 0;
    size_t prologueRoutines = 0;
    size_t branchRoutines = 0;
    size_t afterEndRoutines = 0;
    size_t dataItems = 0;
    size_t Routines() const {
        return pointerRoutines + prologueRoutines + branchRoutines + afterEndRoutines;
    }
};

inline constexpr const char* kFindMoreRoutinesLabel = "Find More Routines";

// The edit the analysis makes (nothing is applied), and what it found.
DocEdit MoreRoutinesEdit(const CTravikDoc& doc, MoreReport& report);
// Applies it as one step that Undo takes back whole.
MoreReport FindMoreRoutines(CTravikDoc& doc);
// The menu command: applies it and tells on the status bar what it found.
void FindMoreRoutinesCommand(CTravikDoc& doc);
