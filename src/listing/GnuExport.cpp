#include "listing/GnuExport.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "document/CTravikDoc.h"
#include "document/FileIo.h"
#include "listing/GnuSyntax.h"
#include "listing/LineText.h"
#include "symbols/SymbolName.h"

using namespace textformat;

namespace {

constexpr size_t kChunkSize = size_t{1} << 18;
// Comments stand from this column on.
constexpr size_t kCommentColumn = 40;

// Names the assembler would take for a register.
bool IsRegisterName(const std::string& name) {
    std::string n = name;
    for (char& c : n) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    static const char* const kNames[] = {"sp", "lr", "pc", "ip", "fp", "sl", "sb", "tr", "wr"};
    for (const char* r : kNames)
        if (n == r) return true;
    if (n.size() >= 2 && n.size() <= 3 && (n[0] == 'r' || n[0] == 'a' || n[0] == 'v') &&
        std::all_of(n.begin() + 1, n.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return true;
    return false;
}

// A header as a label: a symbol name that no number or register name can be taken for.
std::string LabelFor(const std::string& header) {
    std::string name = SymbolNameFor(header);
    if (name.empty() || (name[0] >= '0' && name[0] <= '9') || IsRegisterName(name))
        name = std::string(1, '_').append(name);
    return name;
}

class Writer {
  public:
    Writer(const CTravikDoc& doc, uint32_t start, uint32_t end, std::string_view lineEnd,
           const std::function<bool(std::string_view)>& sink)
        : doc_(doc), start_(start), end_(end), lineEnd_(lineEnd), sink_(sink) {}

    bool Run() {
        CollectLabels();
        WriteHead();
        int64_t o = start_;
        while (o <= int64_t{end_} && o / 2 < int64_t{doc_.HalfwordCount()}) {
            const auto at = static_cast<uint32_t>(o);
            const uint32_t next = ItemEnd(at);
            if (!WriteItem(at, next)) return false;
            o = next;
        }
        // A last odd byte belongs to no halfword; a range that reaches it takes it.
        if (o >= int64_t{doc_.ImageSize()} - 1 && doc_.ImageSize() % 2 == 1 &&
            int64_t{end_} >= int64_t{doc_.ImageSize()} - 1) {
            const uint32_t last = doc_.ImageSize() - 1;
            Directive(".byte 0x" + Hex(doc_.Image()[last], 2), Address(last));
        }
        if (o >= 2 * int64_t{doc_.HalfwordCount()}) Line("@ " + std::string(kEndOfFile));
        return Flush(true);
    }

  private:
    uint32_t ItemEnd(uint32_t o) const { return doc_.NextItemStart(o + 2); }

    static std::string Hex(uint32_t v, int digits) {
        char text[16];
        return std::string(text, PutHex(text, v, digits));
    }
    std::string Address(uint32_t offset) const { return Hex(doc_.DisplayedAddress(offset), 6); }

    // Annotation texts go into comments: line breaks and other control characters
    // become blanks.
    static std::string CommentText(const std::string& text) {
        std::string s = text;
        for (char& c : s)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
        return s;
    }

    // Every routine header in the range gets a label, and so does every item start that
    // a branch or call in the range goes to.
    void CollectLabels() {
        UniqueNames unique;
        std::vector<uint32_t> targets;
        for (int64_t o = start_; o <= int64_t{end_} && o / 2 < int64_t{doc_.HalfwordCount()};) {
            const auto at = static_cast<uint32_t>(o);
            if (const std::string* header = doc_.Headers().Find(at / 2))
                labels_[at] = unique.Take(LabelFor(*header));
            itemStarts_.push_back(at);
            if ((doc_.Flags()[at / 2] & flagbits::kTypeMask) == itemtype::kThumb &&
                at + 1 < doc_.ImageSize()) {
                const ThumbInstruction insn = DecodeThumb(doc_, at);
                if (IsJump(insn)) targets.push_back(static_cast<uint32_t>(insn.target));
            }
            o = ItemEnd(at);
            bytesEnd_ = std::min(static_cast<uint32_t>(o), doc_.ImageSize());
        }
        if (bytesEnd_ == doc_.ImageSize() - 1 && end_ >= bytesEnd_) ++bytesEnd_;  // the odd byte
        for (const uint32_t t : targets) {
            if (labels_.count(t) || !IsItemStart(t)) continue;
            labels_[t] = ".L" + Hex(doc_.DisplayedAddress(t), 6);
        }
    }

    static bool IsJump(const ThumbInstruction& insn) {
        return insn.form == ThumbForm::kBranch || insn.form == ThumbForm::kCall ||
               (insn.form == ThumbForm::kConditionalBranch && insn.op != 14);
    }
    bool IsItemStart(int64_t t) const {
        return t >= start_ && std::binary_search(itemStarts_.begin(), itemStarts_.end(),
                                                 static_cast<uint32_t>(t));
    }
    const std::string* LabelAt(int64_t t) const {
        if (!IsItemStart(t)) return nullptr;
        const auto it = labels_.find(static_cast<uint32_t>(t));
        return it == labels_.end() ? nullptr : &it->second;
    }

    void WriteHead() {
        Line("@ " + CommentText(std::string(SplitPath(doc_.GetPathName()).name)) + ": image offsets 0x" +
             Hex(start_, 1) + " to 0x" + Hex(bytesEnd_ - 1, 1) + ", the first byte at address 0x" +
             Hex(doc_.DisplayedAddress(start_), 1));
        Line("@ arm-none-eabi-as -mthumb -mbig-endian -march=armv4t, then objcopy -O binary,");
        Line("@ gives back the bytes of the range.");
        Line("\t.syntax unified");
        Line("\t.arch armv4t");
        Line("\t.thumb");
        Line("\t.text");
        // Word alignment of the section keeps the assembler quiet about pc-relative loads;
        // it would pad a section whose size is no multiple of four.
        if (start_ % 4 == 0 && (bytesEnd_ - start_) % 4 == 0) Line("\t.p2align 2");
    }

    bool WriteItem(uint32_t o, uint32_t next) {
        const uint32_t index = o / 2;
        const uint8_t f = doc_.Flags()[index];
        const bool itemStart = !(f & flagbits::kContinuation) || o == start_;
        if (itemStart) {
            if (const std::string* text = doc_.Explanations().Find(index))
                Line("@ " + CommentText(*text));
            const auto label = labels_.find(o);
            const std::string* header = doc_.Headers().Find(index);
            if (label != labels_.end()) {
                Line(label->second + ":" +
                     (header != nullptr ? "\t@ " + CommentText(*header) : std::string()));
            }
        }
        const std::string* note = doc_.Notes().Find(index);
        const std::string noteText = note != nullptr ? "  " + CommentText(*note) : std::string();
        const uint32_t limit = std::min(next, doc_.ImageSize());
        if ((f & flagbits::kContinuation) == 0 && (f & flagbits::kTypeMask) == itemtype::kThumb) {
            WriteCode(o, next, noteText);
        } else if ((f & flagbits::kContinuation) == 0 &&
                   ((f & flagbits::kTypeMask) == itemtype::kArm ||
                    ((f & flagbits::kTypeMask) >= itemtype::kData2 &&
                     (f & flagbits::kTypeMask) <= itemtype::kData16))) {
            GetLineText(doc_, o, 0, line_);
            WriteBytes(o, limit, CommentText(line_.Str()) + noteText);
        } else {
            WriteBytes(o, limit, Address(o) + noteText);
        }
        if (const std::string* footer = doc_.Footers().Find(index)) Line("@ " + CommentText(*footer));
        return Flush(false);
    }

    void WriteCode(uint32_t o, uint32_t next, const std::string& note) {
        const ThumbInstruction insn = DecodeThumb(doc_, o);
        const auto h = static_cast<uint16_t>(doc_.HalfwordAt(o));
        uint32_t done = o + 2;
        if (insn.form == ThumbForm::kMergedAnd || insn.form == ThumbForm::kMergedAnd3) {
            WriteHalfword(o, DecodeThumbHalfword(doc_, o), note);
            WriteHalfword(o + 2, DecodeThumbHalfword(doc_, o + 2), "");
            done = o + 4;
        } else if (insn.form == ThumbForm::kCall && next >= o + 4) {
            line_.Clear();
            const std::string* label = LabelAt(insn.target);
            if (label != nullptr) {
                FormatGnu(doc_, insn, h, line_, *label);
                Directive(line_.Str(), Address(o) + note);
            } else {
                FormatGnu(doc_, insn, h, line_);
                Directive(".short 0x" + Hex(h, 4) + ", 0x" + Hex(doc_.HalfwordAt(o + 2), 4),
                          Address(o) + " " + line_.Str() + note);
            }
            done = o + 4;
        } else {
            WriteHalfword(o, insn, note);
        }
        if (done < next) WriteBytes(done, std::min(next, doc_.ImageSize()), Address(done));
    }

    // One halfword's instruction, or its bits with the instruction as a comment.
    void WriteHalfword(uint32_t o, const ThumbInstruction& insn, const std::string& note) {
        const auto h = static_cast<uint16_t>(doc_.HalfwordAt(o));
        line_.Clear();
        const bool jump = IsJump(insn) && insn.form != ThumbForm::kCall;
        const std::string* label = jump ? LabelAt(insn.target) : nullptr;
        FormatGnu(doc_, insn, h, line_, label != nullptr ? std::string_view(*label) : "");
        const bool assembles = insn.form != ThumbForm::kCall &&
                               (jump ? label != nullptr : GnuAssemblesBack(insn, h));
        if (assembles || GnuUndefined(insn, h)) {  // an undefined one is ".short" already
            Directive(line_.Str(), Address(o) + note);
        } else {
            Directive(".short 0x" + Hex(h, 4), Address(o) + " " + line_.Str() + note);
        }
    }

    // The bytes [from, to) as words, then a halfword and a byte for what is left.
    void WriteBytes(uint32_t from, uint32_t to, const std::string& comment) {
        std::string text;
        const char* kind = nullptr;
        auto add = [&](const char* k, uint32_t v, int digits) {
            if (kind != k) {
                if (kind != nullptr) {
                    Directive(text, comment);
                    text.clear();
                }
                kind = k;
                text = std::string(k) + " ";
            } else {
                text += ", ";
            }
            text += "0x" + Hex(v, digits);
        };
        uint32_t o = from;
        for (; o + 4 <= to; o += 4) add(".word", doc_.WordAt(o), 8);
        if (o + 2 <= to) {
            add(".short", doc_.HalfwordAt(o), 4);
            o += 2;
        }
        if (o < to) add(".byte", doc_.Image()[o], 2);
        if (kind != nullptr) Directive(text, comment);
    }

    // "\t<text>" with "@ <comment>" at the comment column.
    void Directive(const std::string& text, const std::string& comment) {
        std::string s = "\t" + text;
        const size_t width = s.size() + 7;  // the tab counts as eight columns
        s.append(width < kCommentColumn ? kCommentColumn - width : 1, ' ');
        s += "@ ";
        s += comment;
        while (!s.empty() && s.back() == ' ') s.pop_back();
        Line(s);
    }

    void Line(const std::string& s) {
        chunk_ += s;
        chunk_ += lineEnd_;
    }
    bool Flush(bool last) {
        if (chunk_.size() < kChunkSize && !last) return true;
        if (chunk_.empty()) return true;
        const bool ok = sink_(chunk_);
        chunk_.clear();
        return ok;
    }

    const CTravikDoc& doc_;
    uint32_t start_, end_;
    std::string_view lineEnd_;
    const std::function<bool(std::string_view)>& sink_;
    std::unordered_map<uint32_t, std::string> labels_;
    std::vector<uint32_t> itemStarts_;
    uint32_t bytesEnd_ = 0;  // the first image offset after what is written
    std::string chunk_;
    LineBuffer line_;
};

}  // namespace

bool WriteGnuAssembly(const CTravikDoc& doc, uint32_t start, uint32_t end,
                      std::string_view lineEnd,
                      const std::function<bool(std::string_view)>& sink) {
    if (start / 2 >= doc.HalfwordCount() || start > end) return true;
    return Writer(doc, start & ~1u, end, lineEnd, sink).Run();
}

std::string GnuAssemblyText(const CTravikDoc& doc, uint32_t start, uint32_t end) {
    std::string text;
    WriteGnuAssembly(doc, start, end, "\n", [&](std::string_view piece) {
        text.append(piece);
        return true;
    });
    return text;
}
