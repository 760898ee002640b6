#include "document/InfoFile.h"

#include <cstring>

#include "document/FileIo.h"

bool InfoCursor::ReadU32(uint32_t& value) {
    if (Remaining() < 4) return false;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + pos_);
    value =
        uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
    pos_ += 4;
    return true;
}

bool InfoCursor::ReadBytes(size_t count, std::string_view& out) {
    if (Remaining() < count) return false;
    out = bytes_.substr(pos_, count);
    pos_ += count;
    return true;
}

bool InfoCursor::ReadText(uint32_t length, std::string_view& text) {
    if (!ReadBytes(length, text)) return false;
    const size_t nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    return true;
}

InfoReadResult ReadInfoFile(std::string_view file, const InfoTables& tables,
                            InfoReadDetail* detail) {
    InfoCursor cursor(file);
    uint32_t size = 0;
    if (!cursor.ReadU32(size) || size != tables.imageSize) return InfoReadResult::kWrongSize;

    const uint32_t halfwordCount = tables.imageSize / 2;
    std::string_view flagBytes;
    if (!cursor.ReadBytes(halfwordCount, flagBytes)) return InfoReadResult::kCorrupted;
    if (!flagBytes.empty()) std::memcpy(tables.flags, flagBytes.data(), flagBytes.size());

    uint32_t separator = 0;
    if (!cursor.ReadU32(separator) || separator != kInfoEndMarker)
        return InfoReadResult::kCorrupted;

    for (AnnotationTable* table : tables.texts) {
        const bool ok = ReadTextSection(
            cursor, halfwordCount,
            [&](uint32_t index, std::string_view text) { table->Set(index, text); });
        if (!ok) return InfoReadResult::kCorrupted;
    }

    RamNameTable& names = *tables.ramNames;
    const uint32_t ramSize = names.RamSize();
    InfoReadDetail local;
    InfoReadDetail& kept = detail != nullptr ? *detail : local;
    kept = {};
    for (;;) {
        kept.damageOffset = cursor.Position();
        uint32_t index = 0;
        if (!cursor.ReadU32(index)) return InfoReadResult::kRamNamesCorrupted;
        if (index == kInfoEndMarker) break;
        if (index >= ramSize) return InfoReadResult::kRamNamesCorrupted;
        uint32_t length = 0;
        uint32_t count = 0;
        std::string_view text;
        if (!cursor.ReadU32(length) || !cursor.ReadText(length, text) || !cursor.ReadU32(count)) {
            return InfoReadResult::kRamNamesCorrupted;
        }
        names.SetName(index, text);
        ++kept.ramNamesKept;
        // The continued marks stop at the end of the RAM, however large the count.
        const uint64_t last =
            std::min<uint64_t>(uint64_t{index} + (count == 0 ? 1 : count), ramSize);
        for (uint64_t i = uint64_t{index} + 1; i < last; ++i)
            names.SetContinued(static_cast<uint32_t>(i));
    }
    return InfoReadResult::kOk;
}

namespace {
void PutLe32(std::string& out, uint32_t value) {
    const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8),
                           static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
    out.append(bytes, 4);
}

void PutText(std::string& out, uint32_t index, const std::string& text) {
    PutLe32(out, index);
    PutLe32(out, static_cast<uint32_t>(text.size() + 1));
    out.append(text.data(), text.size());
    out.push_back('\0');
}
}  // namespace

uint64_t InfoFileSize(const InfoTables& tables) {
    // The size, the flags and their end marker, then each section with its end marker.
    uint64_t size = 4 + uint64_t{tables.imageSize / 2} + 4;
    for (const AnnotationTable* table : tables.texts) {
        table->ForEach([&](uint32_t, const std::string& text) { size += TextRecordSize(text.size()); });
        size += 4;
    }
    tables.ramNames->ForEachName([&](uint32_t, const std::string& name, uint32_t) {
        size += TextRecordSize(name.size()) + 4;
    });
    return size + 4;
}

std::string WriteInfoFile(const InfoTables& tables) {
    const uint32_t halfwordCount = tables.imageSize / 2;
    std::string out;
    out.reserve(static_cast<size_t>(InfoFileSize(tables)));

    PutLe32(out, tables.imageSize);
    out.append(reinterpret_cast<const char*>(tables.flags), halfwordCount);
    PutLe32(out, kInfoEndMarker);
    for (const AnnotationTable* table : tables.texts) {
        table->ForEach([&](uint32_t index, const std::string& text) { PutText(out, index, text); });
        PutLe32(out, kInfoEndMarker);
    }
    tables.ramNames->ForEachName([&](uint32_t index, const std::string& name, uint32_t count) {
        PutText(out, index, name);
        PutLe32(out, count);
    });
    PutLe32(out, kInfoEndMarker);
    return out;
}

std::string InfoPathFor(const std::string& flashPath) {
    const size_t nameStart = SplitPath(flashPath).folder.size();
    const size_t dot = flashPath.find_last_of('.');
    // A leading dot starts a hidden name, not an extension.
    const bool hasExtension = dot != std::string::npos && dot > nameStart;
    if (!hasExtension) return flashPath + ".ifo";
    if (flashPath.size() - dot - 1 == 3) return flashPath.substr(0, flashPath.size() - 3) + "ifo";
    return flashPath.substr(0, dot) + ".ifo";
}

uint64_t MaxInfoFileSize(uint32_t imageSize) {
    return uint64_t{imageSize} * 8 + (uint64_t{64} << 20);
}
