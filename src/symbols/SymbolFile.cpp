#include "symbols/SymbolFile.h"

#include <optional>

#include "shell/Format.h"
#include "shell/HexDigit.h"
#include "symbols/ElfFormat.h"

namespace {

// Length of the valid UTF-8 sequence at text[i], or 0.
size_t Utf8Length(std::string_view text, size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) return 1;
    size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
    if (n == 0 || i + n > text.size()) return 0;
    uint32_t code = c & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
        const auto d = static_cast<unsigned char>(text[i + k]);
        if ((d & 0xC0) != 0x80) return 0;
        code = code << 6 | (d & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    const bool overlong = (n == 3 && code < 0x800) || (n == 4 && code < 0x10000);
    return overlong || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF ? 0 : n;
}

// Empty when `name` is fit for a header or a RAM name; else what is wrong with it.
std::string NameProblem(std::string_view name) {
    if (name.size() > kMaxSymbolName)
        return Format("a name is longer than %zu bytes", kMaxSymbolName);
    for (size_t i = 0; i < name.size();) {
        const auto c = static_cast<unsigned char>(name[i]);
        const size_t n = Utf8Length(name, i);
        if (n == 0) return "a name is not UTF-8 text";
        if (c < 0x20 || c == 0x7F) return "a name holds control characters";
        i += n;
    }
    return {};
}

// --- ELF ---------------------------------------------------------------------------

class ElfReader {
  public:
    ElfReader(std::string_view bytes, bool big) : bytes_(bytes), big_(big) {}
    bool Has(uint64_t offset, uint64_t size) const {
        return offset <= bytes_.size() && size <= bytes_.size() - offset;
    }
    // The caller has checked Has(offset, 2 or 4).
    uint32_t U16(uint64_t offset) const {
        const auto* p = reinterpret_cast<const uint8_t*>(bytes_.data() + offset);
        return big_ ? (p[0] << 8 | p[1]) : (p[1] << 8 | p[0]);
    }
    uint32_t U32(uint64_t offset) const {
        return big_ ? (U16(offset) << 16 | U16(offset + 2)) : (U16(offset + 2) << 16 | U16(offset));
    }
    std::string_view Bytes() const { return bytes_; }

  private:
    std::string_view bytes_;
    bool big_;
};

struct ElfSection {
    uint32_t type, offset, size, link, entrySize;
};

SymbolFile ReadElf(std::string_view bytes) {
    SymbolFile file;
    if (bytes.size() < elf::kHeaderSize) return {{}, "the ELF header is cut short"};
    if (bytes[4] == static_cast<char>(elf::kClass64))
        return {{}, "a 64-bit ELF file (the symbols of 32-bit ARM files are read)"};
    if (bytes[4] != static_cast<char>(elf::kClass32) ||
        (bytes[5] != static_cast<char>(elf::kLittleEndian) &&
         bytes[5] != static_cast<char>(elf::kBigEndian)))
        return {{}, "the ELF header is damaged"};
    const ElfReader r(bytes, bytes[5] == static_cast<char>(elf::kBigEndian));
    const uint32_t tableOffset = r.U32(32);
    const uint32_t entrySize = r.U16(46);
    const uint32_t count = r.U16(48);
    if (count == 0) return {{}, "the ELF file has no symbol table"};
    if (entrySize < elf::kSectionHeaderSize || !r.Has(tableOffset, uint64_t{count} * entrySize))
        return {{}, "the ELF section headers lie outside the file"};
    auto section = [&](uint32_t k) {
        const uint64_t at = tableOffset + uint64_t{k} * entrySize;
        return ElfSection{r.U32(at + 4), r.U32(at + 16), r.U32(at + 20), r.U32(at + 24),
                          r.U32(at + 36)};
    };
    std::optional<ElfSection> symtab;
    for (uint32_t k = 0; k < count; ++k) {
        const ElfSection s = section(k);
        if (s.type == elf::kSectionSymtab) {
            symtab = s;
            break;
        }
        if (s.type == elf::kSectionDynsym && !symtab) symtab = s;
    }
    if (!symtab) return {{}, "the ELF file has no symbol table"};
    const uint32_t symbolSize = symtab->entrySize == 0 ? elf::kSymbolSize : symtab->entrySize;
    if (symbolSize < elf::kSymbolSize || !r.Has(symtab->offset, symtab->size))
        return {{}, "the ELF symbol table lies outside the file"};
    if (symtab->link >= count) return {{}, "the ELF symbol table has no string table"};
    const ElfSection strings = section(symtab->link);
    if (strings.type != elf::kSectionStrtab || !r.Has(strings.offset, strings.size))
        return {{}, "the ELF string table lies outside the file"};
    const std::string_view names = bytes.substr(strings.offset, strings.size);

    for (uint64_t at = symtab->offset; at + symbolSize <= uint64_t{symtab->offset} + symtab->size;
         at += symbolSize) {
        const uint8_t type = static_cast<uint8_t>(bytes[at + 12]) & 0x0F;
        if ((type != elf::kSymbolFunc && type != elf::kSymbolObject) ||
            r.U16(at + 14) == elf::kSectionUndefined)
            continue;
        const uint32_t name = r.U32(at);
        const size_t end = name < names.size() ? names.find('\0', name) : std::string_view::npos;
        if (end == std::string_view::npos) return {{}, "an ELF symbol name lies outside its table"};
        if (end == name) continue;
        SymbolEntry& s = file.symbols.emplace_back();
        s.name = names.substr(name, end - name);
        if (std::string problem = NameProblem(s.name); !problem.empty()) return {{}, problem};
        s.code = type == elf::kSymbolFunc;
        s.address = r.U32(at + 4) & (s.code ? ~1u : ~0u);
        s.size = r.U32(at + 8);
    }
    return file;
}

// --- nm output and ADDRESS NAME lines ------------------------------------------------

bool IsSpace(char c) {
    return c == ' ' || c == '\t';
}

// Splits off the next word of `line` (skipping blanks before it).
std::string_view NextWord(std::string_view& line) {
    size_t start = 0;
    while (start < line.size() && IsSpace(line[start])) ++start;
    size_t end = start;
    while (end < line.size() && !IsSpace(line[end])) ++end;
    const std::string_view word = line.substr(start, end - start);
    line.remove_prefix(end);
    return word;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && (IsSpace(text.back()) || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

std::optional<uint64_t> Hex(std::string_view word, bool allowPrefix) {
    if (allowPrefix && word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X'))
        word.remove_prefix(2);
    if (word.empty() || word.size() > 16) return std::nullopt;
    uint64_t value = 0;
    for (const char c : word) {
        const int digit = HexDigitValue(c);
        if (digit < 0) return std::nullopt;
        value = value << 4 | static_cast<uint64_t>(digit);
    }
    return value;
}

bool IsTypeLetter(std::string_view word) {
    return word.size() == 1 &&
           ((word[0] >= 'a' && word[0] <= 'z') || (word[0] >= 'A' && word[0] <= 'Z') ||
            word[0] == '?' || word[0] == '-');
}

enum class TextKind { kUnknown, kNm, kPlain };

// One line of nm output into `s`; false when it is none. `skip` is set for the lines nm
// prints that name no defined symbol.
bool ParseNmLine(std::string_view line, SymbolEntry& s, bool& skip) {
    std::string_view rest = line;
    std::string_view first = NextWord(rest);
    // "         U name": an undefined symbol has blanks where the address stands.
    if (IsSpace(line.front())) {
        skip = IsTypeLetter(first) && !Trim(rest).empty();
        return skip;
    }
    if (NextWord(rest).empty() && first.back() == ':') return skip = true;  // "FILE:"
    rest = line;
    first = NextWord(rest);
    std::string_view type = NextWord(rest);
    std::optional<uint64_t> size;
    if (!IsTypeLetter(type)) {  // nm -S: ADDRESS SIZE TYPE NAME
        size = Hex(type, false);
        type = NextWord(rest);
        if (!size || !IsTypeLetter(type)) return false;
    }
    const std::optional<uint64_t> address = Hex(first, false);
    s.name = Trim(rest);
    if (!address || s.name.empty()) return false;
    s.address = *address;
    s.size = size.value_or(0);
    s.code = type[0] == 't' || type[0] == 'T';
    return true;
}

bool ParsePlainLine(std::string_view line, SymbolEntry& s) {
    std::string_view rest = line;
    const std::optional<uint64_t> address = Hex(NextWord(rest), true);
    s.name = Trim(rest);
    if (!address || s.name.empty()) return false;
    s.address = *address;
    s.code = true;
    return true;
}

SymbolFile ReadText(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        const size_t n = Utf8Length(bytes, i);
        if (n == 0 || (c < 0x20 && c != '\n' && c != '\r' && c != '\t') || c == 0x7F)
            return {{}, "neither an ELF file nor text (nm output or ADDRESS NAME lines)"};
        i += n;
    }
    SymbolFile file;
    TextKind kind = TextKind::kUnknown;
    size_t number = 0;
    for (size_t start = 0; start < bytes.size(); ++number) {
        size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) end = bytes.size();
        const std::string_view line = bytes.substr(start, end - start);
        start = end + 1;
        if (Trim(line).empty()) continue;
        SymbolEntry s;
        bool skip = false;
        bool read = false;
        if (kind != TextKind::kPlain && ParseNmLine(line, s, skip)) {
            kind = TextKind::kNm;
            read = true;
        } else if (kind != TextKind::kNm && !IsSpace(line.front()) && ParsePlainLine(line, s)) {
            kind = TextKind::kPlain;
            read = true;
        }
        if (!read)
            return {{},
                    Format("line %zu is no %s", number + 1,
                           kind == TextKind::kNm      ? "nm output line"
                           : kind == TextKind::kPlain ? "ADDRESS NAME line"
                                                      : "nm output or ADDRESS NAME line")};
        if (skip) continue;
        if (std::string problem = NameProblem(s.name); !problem.empty())
            return {{}, Format("line %zu: %s", number + 1, problem.c_str())};
        file.symbols.push_back(std::move(s));
    }
    return file;
}

}  // namespace

SymbolFile ReadSymbolFile(std::string_view bytes) {
    if (bytes.substr(0, 4) == std::string_view("\x7F"
                                               "ELF",
                                               4))
        return ReadElf(bytes);
    return ReadText(bytes);
}
