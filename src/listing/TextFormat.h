#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// The listing composes millions of lines a second, so it does not go through printf.
// These writers produce exactly the characters of the printf conversions named beside
// them; each returns the position after what it wrote. The caller makes room first.
namespace textformat {

inline constexpr char kLowerDigits[] = "0123456789abcdef";
inline constexpr char kUpperDigits[] = "0123456789ABCDEF";

// Number of hex digits of v, at least one.
inline int HexDigits(uint32_t v) {
    return v == 0 ? 1 : (32 - __builtin_clz(v) + 3) / 4;
}

// "%.<minDigits>x" (minDigits 1 gives "%x"); at most 8 + minDigits characters.
inline char* PutHex(char* p, uint32_t v, int minDigits) {
    int n = HexDigits(v);
    if (n < minDigits) n = minDigits;
    for (int i = n - 1; i >= 0; --i) {
        p[i] = kLowerDigits[v & 15];
        v >>= 4;
    }
    return p + n;
}

// "%.<minDigits>X".
inline char* PutHexUpper(char* p, uint32_t v, int minDigits) {
    int n = HexDigits(v);
    if (n < minDigits) n = minDigits;
    for (int i = n - 1; i >= 0; --i) {
        p[i] = kUpperDigits[v & 15];
        v >>= 4;
    }
    return p + n;
}

struct HexPairs {
    char pair[256][2];
};
constexpr HexPairs MakeHexPairs() {
    HexPairs t{};
    for (int b = 0; b < 256; ++b) {
        t.pair[b][0] = kLowerDigits[b >> 4];
        t.pair[b][1] = kLowerDigits[b & 15];
    }
    return t;
}
inline constexpr HexPairs kHexPairs = MakeHexPairs();

// "%.2x" of a byte.
inline char* PutByteHex(char* p, uint8_t b) {
    std::memcpy(p, kHexPairs.pair[b], 2);
    return p + 2;
}

// "%.6x": the listing's address column.
inline char* PutAddress(char* p, uint32_t v) {
    if (v <= 0xFFFFFF) {
        std::memcpy(p, kHexPairs.pair[v >> 16], 2);
        std::memcpy(p + 2, kHexPairs.pair[(v >> 8) & 0xFF], 2);
        std::memcpy(p + 4, kHexPairs.pair[v & 0xFF], 2);
        return p + 6;
    }
    return PutHex(p, v, 6);
}

// "%d"; at most 11 characters.
inline char* PutDecimal(char* p, int32_t value) {
    uint32_t v = static_cast<uint32_t>(value);
    if (value < 0) {
        *p++ = '-';
        v = 0u - v;
    }
    char digits[10];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (n > 0) *p++ = digits[--n];
    return p;
}

// "%c" as the listing shows a byte: control bytes become '.'.
inline char ShownChar(uint8_t b) {
    return b < 0x20 ? '.' : static_cast<char>(b);
}

inline char* PutText(char* p, std::string_view text) {
    // Names and strings are mostly short: a loop beats a library call for them.
    if (text.size() <= 24) {
        for (char c : text) *p++ = c;
        return p;
    }
    std::memcpy(p, text.data(), text.size());
    return p + text.size();
}

template <size_t N>
inline char* PutLiteral(char* p, const char (&text)[N]) {
    std::memcpy(p, text, N - 1);
    return p + (N - 1);
}

}  // namespace textformat

// A reusable text buffer for listing lines. It grows only when a line needs more than
// it has ever held, so composing a line allocates nothing once it is warm.
class LineBuffer {
  public:
    LineBuffer() { storage_.resize(kInitialSize); }

    void Clear() { size_ = 0; }
    size_t Size() const { return size_; }
    bool Empty() const { return size_ == 0; }
    const char* Data() const { return storage_.data(); }
    std::string_view View() const { return {storage_.data(), size_}; }
    std::string Str() const { return std::string(View()); }

    // Room for at least n more characters; returns where they go. Pointers into the
    // buffer are valid until the next Reserve; Commit(end) records what was written.
    char* Reserve(size_t n) {
        if (size_ + n > storage_.size()) Grow(n);
        return storage_.data() + size_;
    }
    void Commit(const char* end) { size_ = static_cast<size_t>(end - storage_.data()); }

    void Append(std::string_view text) {
        char* p = Reserve(text.size());
        std::memcpy(p, text.data(), text.size());
        size_ += text.size();
    }
    void Push(char c) {
        Reserve(1)[0] = c;
        ++size_;
    }
    // Adds blanks until the text is `column` characters long.
    void PadTo(size_t column) {
        if (size_ >= column) return;
        char* p = Reserve(column - size_);
        std::memset(p, ' ', column - size_);
        size_ = column;
    }
    // Cuts the text back to `size` characters.
    void Truncate(size_t size) {
        if (size < size_) size_ = size;
    }
    char* MutableData() { return storage_.data(); }

  private:
    static constexpr size_t kInitialSize = 512;
    void Grow(size_t n) {
        size_t want = storage_.size() * 2;
        if (want < size_ + n) want = size_ + n;
        storage_.resize(want);
    }

    std::string storage_;
    size_t size_ = 0;
};
