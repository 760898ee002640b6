#include "document/EditStep.h"


namespace {

enum PartTag : uint8_t { kFlagBytes, kTexts, kRamNames, kRamBytes };

// Writes the bytes to `out`, or with none only counts them.
class Writer {
  public:
    explicit Writer(std::string* out) : out_(out) {}
    size_t Size() const { return size_; }
    void Number(uint64_t value) {
        for (; value >= 0x80; value >>= 7) Put(static_cast<char>(value | 0x80));
        Put(static_cast<char>(value));
    }
    void Text(std::string_view text) {
        Number(text.size());
        if (out_ != nullptr) out_->append(text);
        size_ += text.size();
    }
    void Step(const EditStep& step) {
        Text(step.label);
        Number(step.focus);
        Number(static_cast<uint64_t>(step.time));
        Number(step.edits.size());
        for (const DocEdit& edit : step.edits) {
            Put(static_cast<char>(edit.after));
            Number(edit.parts.size());
            for (const DocEdit::Part& part : edit.parts)
                std::visit([&](const auto& p) { Part(p); }, part);
        }
    }
    template <class Bytes>
    void Bytes_(const Bytes& bytes) {
        Text(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    void Part(const DocEdit::FlagBytes& p) {
        Put(kFlagBytes);
        Number(p.first);
        Bytes_(p.bytes);
    }
    void Part(const DocEdit::Texts& p) {
        Put(kTexts);
        Put(static_cast<char>(p.kind));
        Number(p.entries.size());
        for (const auto& [index, text] : p.entries) {
            Number(index);
            Text(text);
        }
    }
    void Part(const DocEdit::RamNames& p) {
        Put(kRamNames);
        Number(p.first);
        Number(p.names.size());
        for (const DocEdit::RamName& n : p.names) {
            Put(static_cast<char>(n.entry));
            Text(n.name);
        }
    }
    void Part(const DocEdit::RamBytes& p) {
        Put(kRamBytes);
        Number(p.first);
        Bytes_(p.bytes);
    }

  private:
    void Put(char c) {
        if (out_ != nullptr) out_->push_back(c);
        ++size_;
    }
    std::string* out_;
    size_t size_ = 0;
};

// Every read checks what is left; the first failure sticks.
class Reader {
  public:
    explicit Reader(std::string_view in) : in_(in) {}
    bool Ok() const { return ok_; }
    bool AtEnd() const { return in_.empty(); }
    uint64_t Number() {
        uint64_t value = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (!ok_ || in_.empty()) return Fail();
            const uint8_t byte = static_cast<uint8_t>(in_.front());
            in_.remove_prefix(1);
            value |= uint64_t{byte & 0x7Fu} << shift;
            if (!(byte & 0x80)) return value;
        }
        return Fail();
    }
    uint32_t Number32() {
        const uint64_t value = Number();
        return value <= UINT32_MAX ? static_cast<uint32_t>(value) : static_cast<uint32_t>(Fail());
    }
    uint8_t Byte(uint8_t limit) {
        if (!ok_ || in_.empty()) return static_cast<uint8_t>(Fail());
        const uint8_t byte = static_cast<uint8_t>(in_.front());
        in_.remove_prefix(1);
        return byte <= limit ? byte : static_cast<uint8_t>(Fail());
    }
    std::string_view Text() {
        const uint64_t size = Number();
        if (!ok_ || size > in_.size()) return Fail(), std::string_view();
        const std::string_view text = in_.substr(0, size);
        in_.remove_prefix(size);
        return text;
    }
    // A count of items that take at least one byte each cannot exceed the bytes left.
    size_t Count() {
        const uint64_t count = Number();
        return ok_ && count <= in_.size() ? static_cast<size_t>(count) : static_cast<size_t>(Fail());
    }
    std::optional<DocEdit::Part> Part() {
        switch (Byte(kRamBytes)) {
            case kFlagBytes: {
                DocEdit::FlagBytes p{Number32(), {}};
                const std::string_view bytes = Text();
                p.bytes.assign(bytes.begin(), bytes.end());
                return p;
            }
            case kTexts: {
                DocEdit::Texts p{static_cast<DocEdit::TextKind>(Byte(3)), {}};
                p.entries.resize(Count());
                uint64_t next = 0;  // indexes rise without repeats
                for (auto& [index, text] : p.entries) {
                    index = Number32();
                    text = Text();
                    if (index < next || text.find('\0') != std::string::npos) Fail();
                    next = uint64_t{index} + 1;
                }
                return p;
            }
            case kRamNames: {
                DocEdit::RamNames p{Number32(), {}};
                p.names.resize(Count());
                for (DocEdit::RamName& n : p.names) {
                    n.entry = static_cast<RamNameTable::Entry>(Byte(2));
                    n.name = Text();
                    if (n.name.empty() == (n.entry == RamNameTable::Entry::Name)) Fail();
                }
                return p;
            }
            default: {
                DocEdit::RamBytes p{Number32(), {}};
                const std::string_view bytes = Text();
                p.bytes.assign(bytes.begin(), bytes.end());
                return p;
            }
        }
    }

  private:
    uint64_t Fail() {
        ok_ = false;
        in_ = {};
        return 0;
    }
    std::string_view in_;
    bool ok_ = true;
};

}  // namespace

std::string EncodeStep(const EditStep& step, size_t headroom) {
    Writer count(nullptr);
    count.Step(step);
    std::string out;
    out.reserve(headroom + count.Size());
    out.resize(headroom);
    Writer(&out).Step(step);
    return out;
}

std::optional<EditStep> DecodeStep(std::string_view bytes) {
    Reader r(bytes);
    EditStep step;
    step.label = r.Text();
    step.focus = r.Number32();
    step.time = static_cast<int64_t>(r.Number());
    step.edits.resize(r.Count());
    for (DocEdit& edit : step.edits) {
        edit.after = r.Byte(0x0F);
        const size_t parts = r.Count();
        for (size_t i = 0; i < parts && r.Ok(); ++i)
            if (auto part = r.Part()) edit.parts.push_back(std::move(*part));
    }
    if (!r.Ok() || !r.AtEnd()) return std::nullopt;
    return step;
}
