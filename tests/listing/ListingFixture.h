#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "document/CTravikDoc.h"
#include "support/TestSupport.h"

// A document over an image of zeros, with every halfword a plain THUMB item, no
// annotations and the options set to base 0, hex and characters off, strings off.
// Tests poke halfwords, flags and names straight into it.
class ListingFixture {
  public:
    explicit ListingFixture(uint32_t size = 0x400) {
        WriteFile(dir_.File("t.fls"), std::vector<uint8_t>(size, 0));
        doc = OpenImage(frame, dir_.File("t.fls"));
        std::memset(TestDoc::Flags(*doc), itemtype::kThumb, doc->HalfwordCount());
        std::memset(TestDoc::JumpCodes(*doc), 0, doc->HalfwordCount());
        TestDoc::ClearTexts(*doc);
        doc->SetOptions({.viewHex = 0, .viewAscii = 0, .viewSystemStrings = 0});
    }

    void Half(uint32_t offset, uint16_t value) {
        TestDoc::Image(*doc)[offset] = static_cast<uint8_t>(value >> 8);
        TestDoc::Image(*doc)[offset + 1] = static_cast<uint8_t>(value);
    }
    void Word(uint32_t offset, uint32_t value) {
        Half(offset, static_cast<uint16_t>(value >> 16));
        Half(offset + 2, static_cast<uint16_t>(value));
    }
    void Bytes(uint32_t offset, const std::string& bytes) {
        std::memcpy(TestDoc::Image(*doc) + offset, bytes.data(), bytes.size());
    }
    // Joins the halfword after `offset` to the item at `offset`.
    void Join(uint32_t offset) { TestDoc::Flags(*doc)[offset / 2 + 1] |= flagbits::kContinuation; }
    void Type(uint32_t offset, uint8_t type) { TestDoc::Flags(*doc)[offset / 2] = type; }

    RecordingFrame frame;
    std::unique_ptr<CTravikDoc> doc;

  private:
    TempDir dir_;
};
