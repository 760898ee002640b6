#include "listing/GnuExport.h"

#include <algorithm>
#include <cctype>
#include <string>
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
            WriteBytes(doc_.ImageSize() - 1, doc_.ImageSize(), {}, nullptr);
        }
        if (o >= 2 * int64_t{doc_.HalfwordCount()}) CommentLine(kEndOfFile);
        return Flush(true);
    }

  private:
    uint32_t ItemEnd(uint32_t o) const { return doc_.NextItemStart(o + 2); }

    static std::string Hex(uint32_t v, int digits) {
        char text[16];
        return std::string(text, PutHex(text, v, digits));
    }

    // Every routine header in the range gets a label, and so does every item start that
    // a branch or call in the range goes to.
    void CollectLabels() {
        UniqueNames unique;
        std::vector<int64_t> targets;
        for (int64_t o = start_; o <= int64_t{end_} && o / 2 < int64_t{doc_.HalfwordCount()};) {
            const auto at = static_cast<uint32_t>(o);
            if (const std::string* header = doc_.Headers().Find(at / 2))
                labels_.emplace_back(at, unique.Take(LabelFor(*header)));
            itemStarts_.push_back(at);
            if ((doc_.Flags()[at / 2] & flagbits::kTypeMask) == itemtype::kThumb &&
                at + 1 < doc_.ImageSize()) {
                const ThumbInstruction insn = DecodeThumb(doc_, at);
                if (IsJump(insn)) targets.push_back(insn.target);
            }
            o = ItemEnd(at);
            bytesEnd_ = std::min(static_cast<uint32_t>(o), doc_.ImageSize());
        }
        if (bytesEnd_ == doc_.ImageSize() - 1 && end_ >= bytesEnd_) ++bytesEnd_;  // the odd byte
        // Labels stay sorted by offset: the walk meets them in turn, and jumps look
        // their target up.
        std::sort(targets.begin(), targets.end());
        targets.erase(std::unique(targets.begin(), targets.end()), targets.end());
        const size_t headers = labels_.size();
        for (const int64_t t : targets) {
            if (!IsItemStart(t) || FindLabel(t, headers) != nullptr) continue;
            labels_.emplace_back(static_cast<uint32_t>(t), ".L" + Hex(doc_.DisplayedAddress(t), 6));
        }
        std::inplace_merge(labels_.begin(), labels_.begin() + static_cast<ptrdiff_t>(headers),
                           labels_.end(),
                           [](const auto& a, const auto& b) { return a.first < b.first; });
    }

    // The label at offset t among the first `count` labels.
    const std::string* FindLabel(int64_t t, size_t count) const {
        const auto end = labels_.begin() + static_cast<ptrdiff_t>(count);
        const auto it = std::lower_bound(labels_.begin(), end, t,
                                         [](const auto& label, int64_t v) { return label.first < v; });
        return it != end && it->first == t ? &it->second : nullptr;
    }

    static bool IsJump(const ThumbInstruction& insn) {
        return insn.form == ThumbForm::kBranch || insn.form == ThumbForm::kCall ||
               (insn.form == ThumbForm::kConditionalBranch && insn.op != 14);
    }
    bool IsItemStart(int64_t t) const {
        return t >= start_ && t <= int64_t{end_} && std::binary_search(itemStarts_.begin(), itemStarts_.end(),
                                                 static_cast<uint32_t>(t));
    }
    const std::string* LabelAt(int64_t t) const {
        return IsItemStart(t) ? FindLabel(t, labels_.size()) : nullptr;
    }

    void WriteHead() {
        CommentLine(std::string(SplitPath(doc_.GetPathName()).name) + ": image offsets 0x" +
                    Hex(start_, 1) + " to 0x" + Hex(bytesEnd_ - 1, 1) +
                    ", the first byte at address 0x" + Hex(doc_.DisplayedAddress(start_), 1));
        Line("@ arm-none-eabi-as -mthumb -mbig-endian -march=armv4t, then objcopy -O binary,");
        Line("@ gives back the bytes of the range.");
        // The assembler rounds a section with THUMB code up to whole halfwords.
        if ((bytesEnd_ - start_) % 2 != 0) Line("@ (objcopy adds a zero byte after the last, odd one.)");
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
            if (const std::string* text = doc_.Explanations().Find(index)) CommentLine(*text);
            while (nextLabel_ < labels_.size() && labels_[nextLabel_].first < o) ++nextLabel_;
            if (nextLabel_ < labels_.size() && labels_[nextLabel_].first == o) {
                chunk_ += labels_[nextLabel_].second;
                chunk_ += ':';
                if (const std::string* header = doc_.Headers().Find(index)) {
                    chunk_ += "\t@ ";
                    AppendComment(*header);
                }
                chunk_ += lineEnd_;
            }
        }
        const std::string* note = doc_.Notes().Find(index);
        const uint32_t limit = std::min(next, doc_.ImageSize());
        const uint8_t type = f & flagbits::kTypeMask;
        if (f & flagbits::kContinuation) {
            WriteBytes(o, limit, Address(o), note);
        } else if (type == itemtype::kThumb) {
            WriteCode(o, next, note);
        } else if (type == itemtype::kArm || (type >= itemtype::kData2 && type <= itemtype::kData16)) {
            GetLineText(doc_, o, 0, line_);
            WriteBytes(o, limit, line_.View(), note);
        } else {
            WriteBytes(o, limit, Address(o), note);
        }
        if (const std::string* footer = doc_.Footers().Find(index)) CommentLine(*footer);
        return Flush(false);
    }

    void WriteCode(uint32_t o, uint32_t next, const std::string* note) {
        const ThumbInstruction insn = DecodeThumb(doc_, o);
        const auto h = static_cast<uint16_t>(doc_.HalfwordAt(o));
        uint32_t done = o + 2;
        if (insn.form == ThumbForm::kMergedAnd || insn.form == ThumbForm::kMergedAnd3) {
            WriteHalfword(o, DecodeThumbHalfword(doc_, o), note);
            WriteHalfword(o + 2, DecodeThumbHalfword(doc_, o + 2), nullptr);
            done = o + 4;
        } else if (insn.form == ThumbForm::kCall && next >= o + 4) {
            line_.Clear();
            if (const std::string* label = LabelAt(insn.target)) {
                FormatGnu(doc_, insn, h, line_, *label);
                Statement(line_.View(), Address(o), {}, note);
            } else {
                FormatGnu(doc_, insn, h, line_);
                text_.Clear();
                PutShort(PutShort(text_, h), static_cast<uint16_t>(doc_.HalfwordAt(o + 2)));
                Statement(text_.View(), Address(o), line_.View(), note);
            }
            done = o + 4;
        } else {
            WriteHalfword(o, insn, note);
        }
        if (done < next) WriteBytes(done, std::min(next, doc_.ImageSize()), Address(done), nullptr);
    }

    // One halfword's instruction, or its bits with the instruction as a comment.
    void WriteHalfword(uint32_t o, const ThumbInstruction& insn, const std::string* note) {
        const auto h = static_cast<uint16_t>(doc_.HalfwordAt(o));
        line_.Clear();
        const bool jump = IsJump(insn) && insn.form != ThumbForm::kCall;
        const std::string* label = jump ? LabelAt(insn.target) : nullptr;
        FormatGnu(doc_, insn, h, line_, label != nullptr ? std::string_view(*label) : "");
        const bool assembles = insn.form != ThumbForm::kCall &&
                               (jump ? label != nullptr : GnuAssemblesBack(insn, h));
        if (assembles || GnuUndefined(insn, h)) {  // an undefined one is ".short" already
            Statement(line_.View(), Address(o), {}, note);
        } else {
            text_.Clear();
            PutShort(text_, h);
            Statement(text_.View(), Address(o), line_.View(), note);
        }
    }

    // ".short 0x....", or ", 0x...." after a first one.
    static LineBuffer& PutShort(LineBuffer& text, uint16_t h) {
        text.Append(text.Empty() ? ".short 0x" : ", 0x");
        char* p = text.Reserve(4);
        text.Commit(PutHex(p, h, 4));
        return text;
    }

    // The bytes [from, to) as words, then a halfword and a byte for what is left; each
    // directive with the comment.
    void WriteBytes(uint32_t from, uint32_t to, std::string_view comment, const std::string* note) {
        uint32_t o = from;
        if (o + 4 <= to) {
            text_.Clear();
            for (; o + 4 <= to; o += 4) {
                text_.Append(o == from ? ".word 0x" : ", 0x");
                text_.Commit(PutHex(text_.Reserve(8), doc_.WordAt(o), 8));
            }
            Statement(text_.View(), comment, {}, note);
            comment = {};
            note = nullptr;
        }
        if (o + 2 <= to) {
            text_.Clear();
            PutShort(text_, static_cast<uint16_t>(doc_.HalfwordAt(o)));
            o += 2;
            Statement(text_.View(), comment.empty() ? Address(o - 2) : comment, {}, note);
            comment = {};
            note = nullptr;
        }
        if (o < to) {
            text_.Clear();
            text_.Append(".byte 0x");
            text_.Commit(PutHex(text_.Reserve(2), doc_.Image()[o], 2));
            Statement(text_.View(), comment.empty() ? Address(o) : comment, {}, note);
        }
    }

    // "\t<text>", blanks up to the comment column, then "@ " and the comment texts: the
    // first, the second after a blank, the note after two.
    void Statement(std::string_view text, std::string_view comment, std::string_view more,
                   const std::string* note) {
        const size_t lineStart = chunk_.size();
        chunk_ += '\t';
        chunk_ += text;
        const size_t width = chunk_.size() - lineStart + 7;  // the tab counts as eight columns
        chunk_.append(width < kCommentColumn ? kCommentColumn - width : 1, ' ');
        chunk_ += "@ ";
        AppendComment(comment);
        if (!more.empty()) {
            chunk_ += ' ';
            AppendComment(more);
        }
        if (note != nullptr) {
            chunk_ += "  ";
            AppendComment(*note);
        }
        while (chunk_.back() == ' ') chunk_.pop_back();
        chunk_ += lineEnd_;
    }

    // Texts go into comments with line breaks and other control characters as blanks.
    void AppendComment(std::string_view text) {
        for (const char c : text)
            chunk_ += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
    }
    void CommentLine(std::string_view text) {
        chunk_ += "@ ";
        AppendComment(text);
        chunk_ += lineEnd_;
    }

    // The displayed address of an offset, valid until the next call.
    std::string_view Address(uint32_t offset) {
        return {address_, static_cast<size_t>(PutHex(address_, doc_.DisplayedAddress(offset), 6) -
                                              address_)};
    }

    void Line(std::string_view s) {
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
    std::vector<std::pair<uint32_t, std::string>> labels_;  // by offset
    size_t nextLabel_ = 0;  // the first label the walk has not passed
    std::vector<uint32_t> itemStarts_;
    uint32_t bytesEnd_ = 0;  // the first image offset after what is written
    std::string chunk_;
    LineBuffer line_;  // an instruction or listing line
    LineBuffer text_;  // a directive
    char address_[16];
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
