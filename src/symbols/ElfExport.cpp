#include "symbols/ElfExport.h"

#include <cerrno>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

#include "document/CTravikDoc.h"
#include "document/FileReplacer.h"
#include "document/RamFile.h"
#include "listing/Export.h"
#include "shell/FrameServices.h"
#include "symbols/ElfFormat.h"
#include "symbols/SymbolName.h"

namespace {

void PutBe16(std::string& out, uint32_t v) {
    out.push_back(static_cast<char>(v >> 8));
    out.push_back(static_cast<char>(v));
}
void PutBe32(std::string& out, uint32_t v) {
    PutBe16(out, v >> 16);
    PutBe16(out, v & 0xFFFF);
}
void Align4(std::string& out) {
    while (out.size() % 4 != 0) out.push_back('\0');
}

// Names laid one after the other, each ended by a NUL; offset 0 is the empty name.
class StringTable {
  public:
    StringTable() : bytes_(1, '\0') {}
    uint32_t Add(std::string_view name) {
        const auto at = static_cast<uint32_t>(bytes_.size());
        bytes_.append(name);
        bytes_.push_back('\0');
        return at;
    }
    const std::string& Bytes() const { return bytes_; }

  private:
    std::string bytes_;
};

struct Symbol {
    uint32_t name;
    uint32_t value;
    uint32_t size;
    uint8_t info;
    uint16_t section;
};

// Section indexes, in the order the section headers are written.
enum Section : uint16_t {
    kNull,
    kText,
    kRam,
    kNotes,
    kAttributes,
    kSymtab,
    kStrtab,
    kShstrtab,
    kSectionCount
};

// ARMv4T (Tag_CPU_arch 2) with ARM and THUMB instructions, as the "aeabi" attributes.
std::string ArmAttributes() {
    const std::string_view cpu(
        "\x05"
        "ARM7TDMI\0"
        "\x06\x02"
        "\x08\x01"
        "\x09\x01",
        16);
    std::string file("\x01", 1);  // Tag_File: the attributes of the whole file
    PutBe32(file, static_cast<uint32_t>(1 + 4 + cpu.size()));
    file.append(cpu);
    std::string out("A", 1);
    PutBe32(out, static_cast<uint32_t>(4 + 6 + file.size()));
    out.append("aeabi\0", 6);
    return out + file;
}

void PutNoteText(std::string& out, std::string_view text) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (u < 0x20 || u == 0x7F) {
            out += "\\x";
            out.push_back("0123456789abcdef"[u >> 4]);
            out.push_back("0123456789abcdef"[u & 15]);
        } else
            out.push_back(c);
    }
}

std::string Notes(const CTravikDoc& doc) {
    static const char* const kKinds[] = {"note", "header", "footer", "explanation"};
    std::string out;
    char address[16];
    auto line = [&](uint32_t at, const char* kind, const std::string& text) {
        std::snprintf(address, sizeof address, "%08X ", at);
        out += address;
        out += kind;
        out.push_back(' ');
        PutNoteText(out, text);
        out.push_back('\n');
    };
    for (int kind = 0; kind < 4; ++kind)
        doc.Texts(static_cast<DocEdit::TextKind>(kind))
            .ForEach([&](uint32_t i, const std::string& t) {
                line(kFlashBase + 2 * i, kKinds[kind], t);
            });
    doc.RamNames().ForEachName([&](uint32_t i, const std::string& name, uint32_t) {
        line(doc.RamBase() + i, "ram", name);
    });
    return out;
}

uint8_t ItemClass(uint8_t flags) {
    const uint8_t type = flags & flagbits::kTypeMask;
    return type == itemtype::kThumb ? 't' : type == itemtype::kArm ? 'a' : 'd';
}

// Where a routine ends: at the next routine start, or earlier where code follows its
// last return (POP {PC}, MOV PC, LR) and the literal pool after that.
class RoutineEnd {
  public:
    void Start() { state_ = kInCode; }
    void Item(uint32_t address, uint8_t flags) {
        if (state_ == kAfterReturn && ItemClass(flags) != 'd') {
            cut_ = address;
            state_ = kPastEnd;
        }
        if (flags & flagbits::kRoutineEnd) state_ = kAfterReturn;
    }
    uint32_t End(uint32_t nextStart) const { return state_ == kPastEnd ? cut_ : nextStart; }

  private:
    enum { kInCode, kAfterReturn, kPastEnd } state_ = kInCode;
    uint32_t cut_ = 0;
};

// The local mapping symbols first (ELF wants the locals before the globals), then the
// routines and the RAM names.
std::vector<Symbol> Symbols(const CTravikDoc& doc, StringTable& names, uint32_t& firstGlobal) {
    std::vector<Symbol> symbols(1, Symbol{});
    std::vector<Symbol> routines;
    const uint8_t* flags = doc.Flags();
    const uint32_t count = doc.HalfwordCount();
    const uint32_t mapping[3] = {names.Add("$t"), names.Add("$a"), names.Add("$d")};
    UniqueNames unique;
    char fallback[24];
    RoutineEnd end;
    auto close = [&](uint32_t nextStart) {
        if (routines.empty()) return;
        Symbol& last = routines.back();
        last.size = end.End(nextStart) - (last.value & ~1u);
    };
    uint8_t current = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (flags[i] & flagbits::kContinuation) continue;
        const uint32_t address = kFlashBase + 2 * i;
        const uint8_t cls = ItemClass(flags[i]);
        if (cls != current) {
            current = cls;
            const uint32_t name = mapping[cls == 't' ? 0 : cls == 'a' ? 1 : 2];
            symbols.push_back({name, address, 0, elf::kBindLocal << 4 | elf::kSymbolNoType, kText});
        }
        if (flags[i] & flagbits::kRoutineStart) {
            close(address);
            end.Start();
            const std::string* header = doc.Headers().Find(i);
            std::string name = header != nullptr ? SymbolNameFor(*header) : std::string();
            if (name.empty()) {
                std::snprintf(fallback, sizeof fallback, "sub_%08X", address);
                name = fallback;
            }
            routines.push_back({names.Add(unique.Take(std::move(name))),
                                address | (cls == 't' ? 1u : 0u), 0,
                                elf::kBindGlobal << 4 | elf::kSymbolFunc, kText});
        }
        end.Item(address, flags[i]);
    }
    close(kFlashBase + 2 * count);
    firstGlobal = static_cast<uint32_t>(symbols.size());
    symbols.insert(symbols.end(), routines.begin(), routines.end());
    doc.RamNames().ForEachName([&](uint32_t i, const std::string& name, uint32_t bytes) {
        std::string symbol = SymbolNameFor(name);
        symbols.push_back({names.Add(unique.Take(std::move(symbol))), doc.RamBase() + i, bytes,
                           elf::kBindGlobal << 4 | elf::kSymbolObject, kRam});
    });
    return symbols;
}

struct SectionHeader {
    uint32_t name = 0, type = 0, flags = 0, address = 0, offset = 0, size = 0, link = 0, info = 0,
             align = 1, entrySize = 0;
};

void PutSectionHeader(std::string& out, const SectionHeader& s) {
    for (const uint32_t v : {s.name, s.type, s.flags, s.address, s.offset, s.size, s.link, s.info,
                             s.align, s.entrySize})
        PutBe32(out, v);
}

void PutSegment(std::string& out, uint32_t offset, uint32_t address, uint32_t fileSize,
                uint32_t memorySize, uint32_t flags) {
    for (const uint32_t v :
         {elf::kSegmentLoad, offset, address, address, fileSize, memorySize, flags, uint32_t{4}})
        PutBe32(out, v);
}

}  // namespace

std::string MakeElf(const CTravikDoc& doc) {
    StringTable names;
    uint32_t firstGlobal = 0;
    const std::vector<Symbol> symbols = Symbols(doc, names, firstGlobal);
    const std::string notes = Notes(doc);
    const std::string attributes = ArmAttributes();
    StringTable sectionNames;
    SectionHeader sections[kSectionCount];
    sections[kText] = {sectionNames.Add(".text"), elf::kSectionProgBits,
                       elf::kFlagAlloc | elf::kFlagExecute, kFlashBase};
    sections[kRam] = {sectionNames.Add(".ram"), elf::kSectionNoBits,
                      elf::kFlagAlloc | elf::kFlagWrite, doc.RamBase()};
    sections[kNotes] = {sectionNames.Add(".travik.notes"), elf::kSectionProgBits};
    sections[kAttributes] = {sectionNames.Add(".ARM.attributes"), elf::kSectionArmAttributes};
    sections[kSymtab] = {sectionNames.Add(".symtab"), elf::kSectionSymtab};
    sections[kStrtab] = {sectionNames.Add(".strtab"), elf::kSectionStrtab};
    sections[kShstrtab] = {sectionNames.Add(".shstrtab"), elf::kSectionStrtab};

    const uint32_t textOffset = elf::kHeaderSize + 2 * elf::kProgramHeaderSize;
    std::string out;
    out.reserve(textOffset + doc.ImageSize() + notes.size() + symbols.size() * elf::kSymbolSize +
                names.Bytes().size() + 1024);
    // The header; the section headers' offset is filled in at the end.
    out.append(
        "\x7F"
        "ELF",
        4);
    out.push_back(static_cast<char>(elf::kClass32));
    out.push_back(static_cast<char>(elf::kBigEndian));
    out.push_back(1);  // EV_CURRENT
    out.append(9, '\0');
    PutBe16(out, elf::kTypeExec);
    PutBe16(out, elf::kMachineArm);
    PutBe32(out, 1);
    const bool thumbEntry =
        doc.HalfwordCount() > 0 && (doc.Flags()[0] & flagbits::kTypeMask) == itemtype::kThumb;
    PutBe32(out, kFlashBase | (thumbEntry ? 1u : 0u));
    PutBe32(out, elf::kHeaderSize);
    PutBe32(out, 0);
    PutBe32(out, elf::kArmFlags);
    for (const uint32_t v : {elf::kHeaderSize, elf::kProgramHeaderSize, uint32_t{2},
                             elf::kSectionHeaderSize, uint32_t{kSectionCount}, uint32_t{kShstrtab}})
        PutBe16(out, v);
    // Segments in address order: the RAM (no bytes in the file), then the image.
    PutSegment(out, 0, doc.RamBase(), 0, doc.RamSize(), elf::kSegmentRead | elf::kSegmentWrite);
    PutSegment(out, textOffset, kFlashBase, doc.ImageSize(), doc.ImageSize(),
               elf::kSegmentRead | elf::kSegmentExecute);

    auto place = [&](Section s, std::string_view bytes, uint32_t align) {
        if (align == 4) Align4(out);
        sections[s].offset = static_cast<uint32_t>(out.size());
        sections[s].size = static_cast<uint32_t>(bytes.size());
        sections[s].align = align;
        out.append(bytes);
    };
    place(kText, {reinterpret_cast<const char*>(doc.Image()), doc.ImageSize()}, 4);
    sections[kRam].offset = static_cast<uint32_t>(out.size());
    sections[kRam].size = doc.RamSize();
    sections[kRam].align = 4;
    place(kNotes, notes, 1);
    place(kAttributes, attributes, 1);
    Align4(out);
    sections[kSymtab].offset = static_cast<uint32_t>(out.size());
    for (const Symbol& s : symbols) {
        PutBe32(out, s.name);
        PutBe32(out, s.value);
        PutBe32(out, s.size);
        out.push_back(static_cast<char>(s.info));
        out.push_back('\0');
        PutBe16(out, s.section);
    }
    sections[kSymtab].size = static_cast<uint32_t>(symbols.size() * elf::kSymbolSize);
    sections[kSymtab].align = 4;
    sections[kSymtab].entrySize = elf::kSymbolSize;
    sections[kSymtab].link = kStrtab;
    sections[kSymtab].info = firstGlobal;
    place(kStrtab, names.Bytes(), 1);
    place(kShstrtab, sectionNames.Bytes(), 1);
    Align4(out);
    const auto sectionHeaders = static_cast<uint32_t>(out.size());
    for (const SectionHeader& s : sections) PutSectionHeader(out, s);
    for (int k = 0; k < 4; ++k) out[32 + k] = static_cast<char>(sectionHeaders >> (24 - 8 * k));
    return out;
}

ElfExportResult ExportElf(const CTravikDoc& doc, const std::string& path, int* error) {
    if (error != nullptr) *error = 0;
    if (!doc.OutputRefusal(path).empty()) return ElfExportResult::kRefused;
    switch (ReplaceFile(FileIo::System(), path, MakeElf(doc), error)) {
        case ReplaceResult::kOk:
            return ElfExportResult::kOk;
        case ReplaceResult::kCannotOpen:
            return ElfExportResult::kCannotOpen;
        case ReplaceResult::kWriteFailed:
            break;
    }
    return ElfExportResult::kWriteFailed;
}

void ExportElfCommand(CTravikDoc& doc) {
    FrameServices& frame = doc.Frame();
    const std::optional<std::string> chosen = frame.ChooseSaveFile(kElfFilter);
    if (!chosen) return;
    const std::string path = ExportPathFor(*chosen, ".elf");
    switch (ExportElf(doc, path)) {
        case ElfExportResult::kOk:
            break;
        case ElfExportResult::kRefused:
            frame.ShowMessage(doc.OutputRefusal(path));
            break;
        case ElfExportResult::kCannotOpen:
            frame.ShowMessage(kCannotOpenFile);
            break;
        case ElfExportResult::kWriteFailed:
            frame.ShowMessage(kCannotWriteFile);
            break;
    }
}
