#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/HexDigit.h"

// The framing of the GDB remote serial protocol: "$payload#cs" packets with a two-digit
// checksum, '+' and '-' acknowledgements, and the raw 0x03 that interrupts a run. The
// reader takes bytes as they come, in pieces of any size, and hands out what they make.
class GdbPacketReader {
  public:
    // A packet may be at most this long: a longer one is dropped whole (and answered
    // with an error), so that a client cannot make the buffer grow without end.
    static constexpr size_t kMaxPacket = 16384;

    enum class Kind : uint8_t {
        kPacket,     // a packet with a good checksum: `payload` (escapes undone)
        kBadPacket,  // a checksum that does not match: ask for it again ('-')
        kTooLong,    // a packet longer than kMaxPacket, dropped
        kInterrupt,  // a raw 0x03 outside a packet
        kAck,        // '+'
        kNak,        // '-': send the last packet again
    };
    struct Event {
        Kind kind;
        std::string payload;
    };

    // Takes bytes and returns what they complete, in order. Bytes outside a packet other
    // than '+', '-' and 0x03 are skipped.
    std::vector<Event> Feed(std::string_view bytes);

  private:
    enum class State : uint8_t { kIdle, kBody, kChecksum1, kChecksum2 };
    State state_ = State::kIdle;
    std::string body_;
    bool overflow_ = false;
    uint8_t sum_ = 0;
    uint8_t given_ = 0;
};

// "$payload#cs" with the payload's special characters ('#', '$', '}', '*') escaped.
std::string FramePacket(std::string_view payload);
// The hex digits of `bytes`, lower case.
std::string ToHex(std::string_view bytes);
// Pairs of hex digits as bytes; none when the text is not that.
std::optional<std::string> FromHex(std::string_view text);
