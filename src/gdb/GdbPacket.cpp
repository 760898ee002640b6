#include "gdb/GdbPacket.h"

#include "shell/HexDigit.h"

namespace {

constexpr char kHex[] = "0123456789abcdef";

}  // namespace

std::vector<GdbPacketReader::Event> GdbPacketReader::Feed(std::string_view bytes) {
    std::vector<Event> events;
    for (const char c : bytes) {
        switch (state_) {
            case State::kIdle:
                if (c == '$') {
                    state_ = State::kBody;
                    body_.clear();
                    overflow_ = false;
                    sum_ = 0;
                } else if (c == '+') {
                    events.push_back({Kind::kAck, {}});
                } else if (c == '-') {
                    events.push_back({Kind::kNak, {}});
                } else if (c == '\x03') {
                    events.push_back({Kind::kInterrupt, {}});
                }
                break;
            case State::kBody:
                if (c == '#') {
                    state_ = State::kChecksum1;
                    break;
                }
                if (c == '$') {  // a packet cut short: the new one starts over
                    body_.clear();
                    overflow_ = false;
                    sum_ = 0;
                    break;
                }
                sum_ = static_cast<uint8_t>(sum_ + static_cast<uint8_t>(c));
                if (body_.size() < kMaxPacket)
                    body_.push_back(c);
                else
                    overflow_ = true;
                break;
            case State::kChecksum1:
            case State::kChecksum2: {
                const int digit = HexDigitValue(c);
                if (digit < 0) {  // not a checksum: a damaged packet
                    state_ = State::kIdle;
                    events.push_back({overflow_ ? Kind::kTooLong : Kind::kBadPacket, {}});
                    break;
                }
                if (state_ == State::kChecksum1) {
                    given_ = static_cast<uint8_t>(digit << 4);
                    state_ = State::kChecksum2;
                    break;
                }
                given_ = static_cast<uint8_t>(given_ | digit);
                state_ = State::kIdle;
                if (overflow_) {
                    events.push_back({Kind::kTooLong, {}});
                } else if (given_ != sum_) {
                    events.push_back({Kind::kBadPacket, {}});
                } else {
                    // Escapes: '}' then the byte xor 0x20. Run-length encoding is only
                    // ever sent by the stub, never by a client.
                    std::string payload;
                    payload.reserve(body_.size());
                    for (size_t i = 0; i < body_.size(); ++i) {
                        if (body_[i] == '}' && i + 1 < body_.size())
                            payload.push_back(static_cast<char>(body_[++i] ^ 0x20));
                        else
                            payload.push_back(body_[i]);
                    }
                    events.push_back({Kind::kPacket, std::move(payload)});
                }
                body_.clear();
                break;
            }
        }
    }
    return events;
}

std::string FramePacket(std::string_view payload) {
    std::string framed;
    framed.reserve(payload.size() + 4);
    framed.push_back('$');
    uint8_t sum = 0;
    auto put = [&](char c) {
        framed.push_back(c);
        sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
    };
    for (const char c : payload) {
        if (c == '#' || c == '$' || c == '}' || c == '*') {
            put('}');
            put(static_cast<char>(c ^ 0x20));
        } else {
            put(c);
        }
    }
    framed.push_back('#');
    framed.push_back(kHex[sum >> 4]);
    framed.push_back(kHex[sum & 15]);
    return framed;
}

std::string ToHex(std::string_view bytes) {
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto b = static_cast<uint8_t>(c);
        hex.push_back(kHex[b >> 4]);
        hex.push_back(kHex[b & 15]);
    }
    return hex;
}

std::optional<std::string> FromHex(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    std::string bytes;
    bytes.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigitValue(text[i]);
        const int low = HexDigitValue(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes.push_back(static_cast<char>(high << 4 | low));
    }
    return bytes;
}
