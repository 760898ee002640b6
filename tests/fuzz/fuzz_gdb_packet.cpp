// Feeds arbitrary bytes to the GDB stub over a small image, in two pieces (the first byte
// says where to cut). Whatever comes in, what goes out must be acknowledgements and
// well-formed packets, and the stub must leave the session as it found it: no remote
// driver, no run under way.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzSupport.h"
#include "gdb/GdbStub.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static NullFrame frame;
    static std::unique_ptr<CTravikDoc> doc = OpenZeros(frame, 0x400);
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    {
        GdbPacketReader replies;
        GdbStub stub(*doc, 0, [&](std::string_view out) {
            for (const auto& event : replies.Feed(out)) {
                if (event.kind == GdbPacketReader::Kind::kBadPacket ||
                    event.kind == GdbPacketReader::Kind::kTooLong ||
                    event.kind == GdbPacketReader::Kind::kInterrupt)
                    __builtin_trap();
            }
        });
        const size_t cut = size == 0 ? 0 : data[0] % size;
        stub.Receive(bytes.substr(0, cut));
        stub.Receive(bytes.substr(cut));
        // A run the bytes began goes on for a slice, as from a window's event loop.
        if (!stub.Finished()) doc->Session().Loop().RunPosted();
    }
    const DebugSession& session = doc->Session();
    if (session.RemoteDriver() != nullptr || session.LongRunActive()) __builtin_trap();
    return 0;
}
