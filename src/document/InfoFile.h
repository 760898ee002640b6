#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "document/AnnotationTable.h"
#include "document/RamNameTable.h"

// The tables an info file holds, as the document keeps them.
struct InfoTables {
    uint32_t imageSize = 0;
    uint8_t* flags = nullptr;  // imageSize / 2 bytes
    AnnotationTable* texts[4] = {nullptr, nullptr, nullptr,
                                 nullptr};  // notes, headers, footers, explanations
    RamNameTable* ramNames = nullptr;
};

enum class InfoReadResult {
    kOk,
    kWrongSize,          // the size field is not the image's: the file belongs to another image
    kCorrupted,          // damaged before the RAM names: nothing usable
    kRamNamesCorrupted,  // damaged inside the RAM names: what was read before stays
};

// What a read that ended in the RAM names kept: the names before the damage.
struct InfoReadDetail {
    uint32_t ramNamesKept = 0;
    size_t damageOffset = 0;  // byte of the file where the damaged record starts
};

// Reads the bytes of an info file into the tables, which must be sized for
// `imageSize` and start empty. Every record is bounded by what the file still holds.
InfoReadResult ReadInfoFile(std::string_view file, const InfoTables& tables,
                            InfoReadDetail* detail = nullptr);

// The largest info file of an image of `imageSize` bytes: the flags and four generous
// texts per halfword. Anything larger is not an info file of this image, so the open
// refuses to read it and neither a save nor a merge makes one.
uint64_t MaxInfoFileSize(uint32_t imageSize);

// The number of bytes WriteInfoFile makes of the tables, without making them.
uint64_t InfoFileSize(const InfoTables& tables);
// The bytes a text record (index, length, text, NUL) takes in an info file.
inline uint64_t TextRecordSize(size_t textLength) {
    return 9 + uint64_t{textLength};
}

// The bytes of the info file for the tables.
std::string WriteInfoFile(const InfoTables& tables);

// The info file that belongs to a flash file, in the same folder: a file name with a
// three-character extension gets "ifo" in its place (x.fls -> x.ifo), any other
// extension is replaced by ".ifo", and a name without one gets ".ifo" appended.
std::string InfoPathFor(const std::string& flashPath);

// Sequential little-endian reader over the bytes of an info file; every read checks
// that the bytes are there.
class InfoCursor {
  public:
    explicit InfoCursor(std::string_view bytes) : bytes_(bytes) {}
    bool ReadU32(uint32_t& value);
    // `length` bytes of a text record; the text ends at its first NUL.
    bool ReadText(uint32_t length, std::string_view& text);
    bool ReadBytes(size_t count, std::string_view& out);
    size_t Remaining() const { return bytes_.size() - pos_; }
    size_t Position() const { return pos_; }

  private:
    std::string_view bytes_;
    size_t pos_ = 0;
};

inline constexpr uint32_t kInfoEndMarker = 0xFFFFFFFF;

// Reads one text section (notes, headers, footers or explanations) up to its end
// marker, handing each record to fn(index, text). False on a damaged record: an
// index at or past `halfwordCount`, or the file ending inside a record.
template <typename Fn>
bool ReadTextSection(InfoCursor& cursor, uint32_t halfwordCount, Fn&& fn) {
    for (;;) {
        uint32_t index = 0;
        if (!cursor.ReadU32(index)) return false;
        if (index == kInfoEndMarker) return true;
        if (index >= halfwordCount) return false;
        uint32_t length = 0;
        std::string_view text;
        if (!cursor.ReadU32(length) || !cursor.ReadText(length, text)) return false;
        fn(index, text);
    }
}
