#pragma once

#include <cstdint>
#include <string_view>

#include "document/CTravikDoc.h"

// How tests build a document's state in place: the image bytes, flags, jump codes and
// tables of a document they made, and the texts as the open's analysis stores them
// (no user mark, no jump list).
struct TestDoc {
    static uint8_t* Image(CTravikDoc& doc) { return doc.image_; }
    static uint8_t* Flags(CTravikDoc& doc) { return doc.flags_; }
    static uint8_t* JumpCodes(CTravikDoc& doc) { return doc.jumpCodes_; }
    static void SetLiteralPointer(CTravikDoc& doc, uint32_t offset, uint32_t target) {
        doc.SetLiteralPointer(offset, target);
    }
    static uint8_t* Ram(CTravikDoc& doc) { return doc.ramBytes_; }
    static uint32_t& RamSize(CTravikDoc& doc) { return doc.ramSize_; }
    static AnnotationTable& Texts(CTravikDoc& doc, DocEdit::TextKind k) { return doc.TextTable(k); }
    static RamNameTable& RamNames(CTravikDoc& doc) { return doc.ramNames_; }
    static InfoTables Tables(CTravikDoc& doc) { return doc.Tables(); }
    static DisplayOptions& Options(CTravikDoc& doc) { return doc.options_; }
    // The session's emulator, to set up a state the test starts from.
    static CEmulator& Emulator(CTravikDoc& doc) { return doc.session_.emulator_; }
    // Empty tables: no texts at all.
    static void ClearTexts(CTravikDoc& doc) {
        for (AnnotationTable* t : {&doc.notes_, &doc.headers_, &doc.footers_, &doc.explanations_})
            t->Reset(doc.HalfwordCount());
    }

    static void Note(CTravikDoc& doc, uint32_t offset, std::string_view text) {
        doc.SetText(doc.notes_, offset, text);
    }
    static void Header(CTravikDoc& doc, uint32_t offset, std::string_view text) {
        doc.SetText(doc.headers_, offset, text);
    }
    static void Footer(CTravikDoc& doc, uint32_t offset, std::string_view text) {
        doc.SetText(doc.footers_, offset, text);
    }
};
