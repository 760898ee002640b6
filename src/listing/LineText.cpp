#include "listing/LineText.h"

#include "document/CTravikDoc.h"
#include "listing/Disassembler.h"
#include "listing/GnuSyntax.h"

using namespace textformat;

namespace {

// Address column, opcode columns and separators fit in this; the instruction text
// reserves its own room.
constexpr size_t kColumnsRoom = 64;

void LowerCase(char* begin, char* end) {
    for (char* c = begin; c != end; ++c) {
        if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c + ('a' - 'A'));
    }
}

// Bytes an item would show beyond the image end are left blank.
char* PutByteOrBlank(char* p, const CTravikDoc& doc, uint64_t at) {
    if (at < doc.ImageSize()) return PutByteHex(p, doc.Image()[at]);
    p[0] = ' ';
    p[1] = ' ';
    return p + 2;
}
char CharOrBlank(const CTravikDoc& doc, uint64_t at) {
    return at < doc.ImageSize() ? ShownChar(doc.Image()[at]) : ' ';
}

// The text behind a data word that points into the flash: a phone text through its
// descriptor or a printable string.
void AppendPointerText(const CTravikDoc& doc, uint32_t word, LineBuffer& out) {
    const int64_t target = int64_t{word} - kFlashBase;
    const char* text = nullptr;
    char systemText[kSystemStringMax + 1];
    char printable[kPrintableStringMax + 1];
    if (word >= systemstrings::kPointerFirst && word <= systemstrings::kPointerLast &&
        GetSystemString(doc, target, systemText)) {
        text = systemText;
    } else if (GetPrintableString(doc, target, printable)) {
        text = printable;
    }
    if (text == nullptr) return;
    const size_t n = std::strlen(text);
    char* p = out.Reserve(n + 3);
    *p++ = ' ';
    *p++ = '(';
    p = PutText(p, {text, n});
    *p++ = ')';
    out.Commit(p);
}

}  // namespace

void FormatThumbLine(const CTravikDoc& doc, uint32_t offset, LineBuffer& out) {
    const size_t lineStart = out.Size();
    char* p = out.Reserve(kColumnsRoom);
    p = PutAddress(p, doc.DisplayedAddress(offset));
    const uint8_t h = doc.Image()[offset];
    const uint8_t l = doc.Image()[offset + 1];
    if (doc.Options().viewHex) {
        *p++ = ' ';
        *p++ = ':';
        p = PutByteHex(p, h);
        p = PutByteHex(p, l);
        const uint32_t next = offset / 2 + 1;
        if (next < doc.HalfwordCount() && (doc.Flags()[next] & flagbits::kContinuation)) {
            p = PutByteHex(p, doc.Image()[offset + 2]);
            p = PutByteHex(p, doc.Image()[offset + 3]);
        } else if (doc.Options().viewAscii) {
            *p++ = ' ';
            *p++ = ShownChar(h);
            *p++ = ShownChar(l);
            *p++ = ' ';
        } else {
            p = PutLiteral(p, "    ");
        }
        p = PutLiteral(p, ": ");
    } else if (doc.Options().viewAscii) {
        *p++ = ' ';
        *p++ = ':';
        *p++ = ShownChar(h);
        *p++ = ShownChar(l);
        p = PutLiteral(p, ": ");
    } else {
        p = PutLiteral(p, " : ");
    }
    out.Commit(p);
    if (doc.Options().gnuSyntax) {
        FormatGnuInstruction(doc, offset, out);
    } else {
        DisassembleThumb(doc, offset, out);
    }
    if (doc.Options().lowerCase) {
        char* data = out.MutableData();
        LowerCase(data + lineStart, data + out.Size());
    }
}

void FormatDataLine(const CTravikDoc& doc, uint32_t offset, unsigned size, LineBuffer& out) {
    if (offset >= doc.ImageSize()) {
        out.Append("End");
        return;
    }
    char* p = out.Reserve(kColumnsRoom + 2 * 16);
    p = PutAddress(p, doc.DisplayedAddress(offset));
    *p++ = ' ';
    *p++ = ':';
    const unsigned group = size == 2 ? 2 : 4;
    for (unsigned i = 0; i < size; ++i) {
        p = PutByteOrBlank(p, doc, uint64_t{offset} + i);
        if (i % group == group - 1) *p++ = ':';
    }
    if (size == 4 || size == 12) p = PutLiteral(p, "        :");
    *p++ = ' ';
    if (size == 12) *p++ = ' ';
    for (unsigned i = 0; i < size; ++i) *p++ = CharOrBlank(doc, uint64_t{offset} + i);
    *p++ = ' ';
    out.Commit(p);

    if (size < 4 || !doc.Options().viewSystemStrings) return;
    for (unsigned i = 0; i + 4 <= size; i += 4) {
        const uint64_t at = uint64_t{offset} + i;
        if (at + 4 > doc.ImageSize()) break;
        AppendPointerText(doc, doc.WordAt(static_cast<uint32_t>(at)), out);
    }
}

void FormatArmLine(const CTravikDoc& doc, uint32_t offset, LineBuffer& out) {
    char* p = out.Reserve(kColumnsRoom);
    p = PutAddress(p, doc.DisplayedAddress(offset));
    if (doc.Options().viewHex) {
        *p++ = ' ';
        *p++ = ':';
        for (unsigned i = 0; i < 4; ++i) p = PutByteOrBlank(p, doc, uint64_t{offset} + i);
        p = PutLiteral(p, ": ARM code");
    } else {
        p = PutLiteral(p, " : ARM code");
    }
    out.Commit(p);
}

void GetLineText(const CTravikDoc& doc, int64_t offset, int subLine, LineBuffer& out) {
    out.Clear();
    if (subLine == 2) {
        out.Append(kEndOfFile);
        return;
    }
    // Only halfwords of the image have a flag byte and so a line.
    if (offset < 0 || offset / 2 >= int64_t{doc.HalfwordCount()}) return;
    const uint32_t o = static_cast<uint32_t>(offset);
    const uint8_t f = doc.Flags()[o / 2];
    if (subLine == -1 && (f & flagbits::kRoutineStart)) {
        out.Append(kHeaderSeparator);
        return;
    }
    if (subLine == 1 && (f & flagbits::kRoutineEnd)) {
        out.Append(kFooterSeparator);
        return;
    }
    switch (f & flagbits::kTypeMask) {
        case itemtype::kArm:
            FormatArmLine(doc, o, out);
            break;
        case itemtype::kThumb:
            FormatThumbLine(doc, o, out);
            break;
        case itemtype::kData2:
            FormatDataLine(doc, o, 2, out);
            break;
        case itemtype::kData4:
            FormatDataLine(doc, o, 4, out);
            break;
        case itemtype::kData8:
            FormatDataLine(doc, o, 8, out);
            break;
        case itemtype::kData12:
            FormatDataLine(doc, o, 12, out);
            break;
        case itemtype::kData16:
            FormatDataLine(doc, o, 16, out);
            break;
        default:
            break;
    }
}

std::string GetLineText(const CTravikDoc& doc, int64_t offset, int subLine) {
    LineBuffer out;
    GetLineText(doc, offset, subLine, out);
    return out.Str();
}
