#include "gdb/GdbStub.h"

#include <algorithm>
#include <cstdio>

#include "document/CTravikDoc.h"
#include "document/DebugMarksFile.h"

namespace {

constexpr std::string_view kTargetXml =
    "<?xml version=\"1.0\"?>\n"
    "<!DOCTYPE target SYSTEM \"gdb-target.dtd\">\n"
    "<target version=\"1.0\">\n"
    "  <architecture>arm</architecture>\n"
    "  <feature name=\"org.gnu.gdb.arm.core\">\n"
    "    <reg name=\"r0\" bitsize=\"32\" regnum=\"0\"/>\n"
    "    <reg name=\"r1\" bitsize=\"32\"/>\n"
    "    <reg name=\"r2\" bitsize=\"32\"/>\n"
    "    <reg name=\"r3\" bitsize=\"32\"/>\n"
    "    <reg name=\"r4\" bitsize=\"32\"/>\n"
    "    <reg name=\"r5\" bitsize=\"32\"/>\n"
    "    <reg name=\"r6\" bitsize=\"32\"/>\n"
    "    <reg name=\"r7\" bitsize=\"32\"/>\n"
    "    <reg name=\"r8\" bitsize=\"32\"/>\n"
    "    <reg name=\"r9\" bitsize=\"32\"/>\n"
    "    <reg name=\"r10\" bitsize=\"32\"/>\n"
    "    <reg name=\"r11\" bitsize=\"32\"/>\n"
    "    <reg name=\"r12\" bitsize=\"32\"/>\n"
    "    <reg name=\"sp\" bitsize=\"32\" type=\"data_ptr\"/>\n"
    "    <reg name=\"lr\" bitsize=\"32\"/>\n"
    "    <reg name=\"pc\" bitsize=\"32\" type=\"code_ptr\"/>\n"
    "    <reg name=\"cpsr\" bitsize=\"32\" regnum=\"25\"/>\n"
    "  </feature>\n"
    "</target>\n";

// The packet size the stub takes (hex in qSupported): what the reader holds.
constexpr size_t kPacketSize = GdbPacketReader::kMaxPacket;
// An `m` reply holds two digits a byte, in a packet of kPacketSize.
constexpr uint32_t kMaxRead = kPacketSize / 2 - 16;

constexpr int kSigInt = 2;
constexpr int kSigTrap = 5;

std::string BigEndianHex(uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

std::string HexByte(int value) {
    char text[3];
    std::snprintf(text, sizeof text, "%02x", value & 0xFF);
    return text;
}

// "ADDR,LEN" (and what follows them) of m, M, X, Z and z packets.
struct AddressLength {
    uint32_t address = 0;
    uint32_t length = 0;
    std::string_view rest;  // after the length: ":data" or ",kind"
};

std::optional<AddressLength> ParseAddressLength(std::string_view text) {
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    const size_t end = text.find_first_of(":,;", comma + 1);
    const auto address = ParseHexNumber(text.substr(0, comma));
    const auto length = ParseHexNumber(text.substr(comma + 1, end - comma - 1));
    if (!address || !length) return std::nullopt;
    return AddressLength{*address, *length,
                         end == std::string_view::npos ? std::string_view{} : text.substr(end)};
}

std::string WatchReason(const char* name, uint32_t address) {
    std::string reason = name;
    reason.append(":").append(BigEndianHex(address)).append(";");
    return reason;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

GdbStub::GdbStub(CTravikDoc& doc, uint32_t startOffset, Sender send)
    : doc_(doc), session_(doc.Session()), send_(std::move(send)) {
    session_.Subscribe(*this);
    session_.SetRemoteDriver(this);
    // gdb finds the target stopped: a run or an animation of the windows ends here.
    if (session_.Emulator().runState == CEmulator::kRunning || session_.LongRunActive())
        session_.Execute(RunCommand::kBreak, 0, this);
    if (session_.Emulator().runState == CEmulator::kStopped && doc_.Image() != nullptr)
        session_.Execute(RunCommand::kStart, startOffset, this);
}

GdbStub::~GdbStub() {
    Release();
}

void GdbStub::Release() {
    if (released_) return;
    released_ = true;
    if (running_ || session_.LongRunActive()) {
        running_ = false;
        session_.Execute(RunCommand::kBreak, 0, this);
    }
    // What gdb set and did not take away (it does before it detaches, not when the
    // connection breaks) goes with it.
    for (const uint32_t address : breakpoints_) session_.SetBreakpoint(address, false, false);
    breakpoints_.clear();
    for (const Watch& w : watches_)
        session_.SetWatchRange(w.address, w.length, w.kinds, false, false);
    watches_.clear();
    session_.SetRemoteDriver(nullptr);
    session_.Unsubscribe(*this);
    session_.RefreshWindows({.repaintListing = true});
}

// The emulation is stopped (a run under way ends first) and the client is done.
void GdbStub::Kill() {
    finished_ = true;
    running_ = false;
    if (session_.LongRunActive()) session_.Execute(RunCommand::kBreak, 0, this);
    session_.Execute(RunCommand::kStop, 0, this);
    Release();
    Status("GDB: killed; the emulation is stopped");
}

void GdbStub::Status(const std::string& line) {
    if (onStatus) onStatus(line);
}

void GdbStub::Receive(std::string_view bytes) {
    for (GdbPacketReader::Event& event : reader_.Feed(bytes)) {
        if (finished_) return;
        switch (event.kind) {
            case GdbPacketReader::Kind::kPacket:
                if (!noAck_) send_("+");
                Handle(event.payload);
                break;
            case GdbPacketReader::Kind::kBadPacket:
                if (!noAck_) send_("-");
                break;
            case GdbPacketReader::Kind::kTooLong:
                if (!noAck_) send_("+");
                Reply("E01");
                break;
            case GdbPacketReader::Kind::kInterrupt:
                Interrupt(kSigInt);
                break;
            case GdbPacketReader::Kind::kNak:
                if (!lastReply_.empty()) send_(lastReply_);
                break;
            case GdbPacketReader::Kind::kAck:
                break;
        }
    }
}

void GdbStub::ConnectionLost() {
    if (finished_) return;
    finished_ = true;
    Release();
    Status("GDB: connection lost");
}

void GdbStub::Reply(std::string_view payload) {
    lastReply_ = FramePacket(payload);
    send_(lastReply_);
}

void GdbStub::Handle(const std::string& packet) {
    const std::string_view p = packet;
    if (p.empty()) return Reply("");
    const std::string_view args = p.substr(1);
    switch (p[0]) {
        case '?':
            return Reply(StopReply(lastSignal_, {}));
        case 'g':
            return Reply(ReadRegisters());
        case 'G':
            return Reply(WriteRegisters(args) ? "OK" : "E01");
        case 'p': {
            const auto index = ParseHexNumber(args);
            const auto value = index ? RegisterValue(static_cast<int>(*index)) : std::nullopt;
            return Reply(value ? BigEndianHex(*value) : "E01");
        }
        case 'P': {
            const size_t equals = args.find('=');
            const auto index = ParseHexNumber(args.substr(0, equals));
            const auto bytes =
                equals == std::string_view::npos ? std::nullopt : FromHex(args.substr(equals + 1));
            const bool ok = index && bytes && bytes->size() == 4 &&
                            WriteRegister(static_cast<int>(*index), *bytes);
            return Reply(ok ? "OK" : "E01");
        }
        case 'm':
            return Reply(ReadMemory(args));
        case 'M':
        case 'X':
            return Reply(WriteMemory(args, p[0] == 'X') ? "OK" : "E01");
        case 'c':
        case 's':
            if (!args.empty()) {
                const auto address = ParseHexNumber(args);
                if (!address) return Reply("E01");
                SetPc(*address);
            }
            return Resume(p[0] == 's');
        case 'Z':
        case 'z':
            return Reply(ChangeMark(p[0] == 'Z', args));
        case 'D':
            Reply("OK");
            finished_ = true;
            Release();
            return Status("GDB: detached; the emulation stays open");
        case 'k':
            return Kill();  // no reply: the client closes the connection
        case 'H':
        case 'T':
            return Reply("OK");
        case 'q':
            return Query(p);
        case 'Q':
            if (p == "QStartNoAckMode") {
                Reply("OK");
                noAck_ = true;
                return;
            }
            return Reply("");
        case 'v':
            return VPacket(p);
        default:
            return Reply("");
    }
}

void GdbStub::Query(std::string_view p) {
    if (StartsWith(p, "qSupported")) {
        char text[128];
        std::snprintf(text, sizeof text,
                      "PacketSize=%zx;qXfer:features:read+;swbreak+;hwbreak+;vContSupported+;"
                      "QStartNoAckMode+",
                      kPacketSize);
        return Reply(text);
    }
    constexpr std::string_view kFeatures = "qXfer:features:read:";
    if (StartsWith(p, kFeatures)) return Reply(Features(p.substr(kFeatures.size())));
    if (p == "qC") return Reply("QC1");
    if (p == "qfThreadInfo") return Reply("m1");
    if (p == "qsThreadInfo") return Reply("l");
    if (p == "qAttached") return Reply("1");
    return Reply("");
}

void GdbStub::VPacket(std::string_view p) {
    if (p == "vCont?") return Reply("vCont;c;C;s;S;t");
    if (StartsWith(p, "vCont;")) {
        // One thread: the first action is the one for it ("c", "C05", "s:1", ...).
        const std::string_view action = p.substr(6, p.find_first_of(";:", 6) - 6);
        if (action.empty()) return Reply("E01");
        switch (action[0]) {
            case 'c':
            case 'C':
                return Resume(false);
            case 's':
            case 'S':
                return Resume(true);
            case 't':
                if (running_) return Interrupt(0);
                return Reply("OK");
            default:
                return Reply("E01");
        }
    }
    if (StartsWith(p, "vKill")) {
        Reply("OK");
        return Kill();
    }
    return Reply("");
}

std::string GdbStub::Features(std::string_view args) const {
    constexpr std::string_view kAnnex = "target.xml:";
    if (!StartsWith(args, kAnnex)) return "E00";
    const auto range = ParseAddressLength(args.substr(kAnnex.size()));
    if (!range || !range->rest.empty()) return "E01";
    if (range->address >= kTargetXml.size()) return "l";
    const std::string_view piece = kTargetXml.substr(range->address, range->length);
    const bool last = range->address + piece.size() >= kTargetXml.size();
    std::string reply(1, last ? 'l' : 'm');
    reply.append(piece);
    return reply;
}

// --- registers ---------------------------------------------------------------------------

std::optional<uint32_t> GdbStub::RegisterValue(int index) const {
    const CEmulator& emu = session_.Emulator();
    if (index >= 0 && index < 15) return emu.r[index];
    if (index == 15) return Pc();
    if (index == kCpsrRegister) return emu.ComposedCpsr();
    return std::nullopt;
}

// R15 runs ahead of the current instruction: 4 bytes in THUMB state, 8 in ARM state.
uint32_t GdbStub::Pc() const {
    const CEmulator& emu = session_.Emulator();
    return emu.r[15] - ((emu.cpsr & Processor::kThumbBit) ? 4 : 8);
}

void GdbStub::SetPc(uint32_t address) {
    if (address == Pc()) return;
    session_.SetRegister(15, address);
}

std::string GdbStub::ReadRegisters() const {
    std::string hex;
    for (int i = 0; i < 16; ++i) hex += BigEndianHex(*RegisterValue(i));
    return hex + BigEndianHex(*RegisterValue(kCpsrRegister));
}

bool GdbStub::WriteRegisters(std::string_view hex) {
    const auto bytes = FromHex(hex);
    if (!bytes || bytes->size() < 17 * 4 || running_) return false;
    for (int i = 0; i < 17; ++i)
        WriteRegister(i == 16 ? kCpsrRegister : i, std::string_view(*bytes).substr(i * 4, 4));
    return true;
}

bool GdbStub::WriteRegister(int index, std::string_view bytes) {
    if (running_ || !RegisterValue(index)) return false;
    uint32_t value = 0;
    for (const char c : bytes) value = value << 8 | static_cast<uint8_t>(c);
    if (value == *RegisterValue(index)) return true;
    if (index == 15)
        SetPc(value);
    else
        session_.SetRegister(index == kCpsrRegister ? Processor::kCpsrIndex : index, value);
    session_.RefreshWindows({.repaintListing = index == 15, .repaintRegisters = true});
    return true;
}

// --- memory ------------------------------------------------------------------------------

// What can be read up to the first byte in no area; none at all is an error.
std::string GdbStub::ReadMemory(std::string_view args) const {
    const auto range = ParseAddressLength(args);
    if (!range || !range->rest.empty()) return "E01";
    const uint32_t length = std::min(range->length, kMaxRead);
    std::string hex;
    for (uint32_t i = 0; i < length; ++i) {
        const auto byte = session_.Emulator().Peek(range->address + i);
        if (!byte) break;
        hex += HexByte(static_cast<int>(*byte));
    }
    if (hex.empty() && length != 0) return "E01";
    return hex;
}

// All of it or nothing: a byte that cannot be stored (the flash, no area) puts back the
// ones stored before it.
bool GdbStub::WriteMemory(std::string_view args, bool binary) {
    const auto range = ParseAddressLength(args);
    if (!range || running_ || range->rest.empty() || range->rest[0] != ':') return false;
    const std::string_view data = range->rest.substr(1);
    const auto bytes = binary ? std::optional<std::string>(data) : FromHex(data);
    if (!bytes || bytes->size() != range->length) return false;
    std::string before;
    for (uint32_t i = 0; i < range->length; ++i) {
        const uint32_t address = range->address + i;
        const auto old = session_.Emulator().Peek(address);
        if (!old || !session_.Poke(address, static_cast<uint8_t>((*bytes)[i]), 1)) {
            for (uint32_t j = 0; j < i; ++j)
                session_.Poke(range->address + j, static_cast<uint8_t>(before[j]), 1);
            return false;
        }
        before.push_back(static_cast<char>(*old));
    }
    if (range->length != 0) session_.RefreshWindows({.repaintMemory = true, .repaintPhone = true});
    return true;
}

// --- breakpoints and watchpoints ---------------------------------------------------------

// Z0/Z1 are breakpoints of the session (no byte of the image changes), Z2/Z3/Z4 its
// watchpoints for writes, reads and both, none of them saved in the side file. A
// breakpoint or watched kind the user had set already stays when gdb takes its own away.
std::string GdbStub::ChangeMark(bool insert, std::string_view args) {
    if (args.size() < 2 || args[1] != ',') return "E01";
    const char type = args[0];
    const auto range = ParseAddressLength(args.substr(2));
    if (!range) return "E01";
    const uint32_t address = range->address;
    if (type == '0' || type == '1') {
        if (!session_.SetBreakpoint(address, insert, false)) return "E01";
        const auto ours = std::find(breakpoints_.begin(), breakpoints_.end(), address);
        if (insert && ours == breakpoints_.end()) breakpoints_.push_back(address);
        if (!insert && ours != breakpoints_.end()) breakpoints_.erase(ours);
        session_.RefreshWindows({.repaintListing = true});
        return "OK";
    }
    if (type < '2' || type > '4') return "";
    if (!IsWatchableRange(address, range->length)) return "E01";
    const uint8_t kinds = type == '2'   ? MemoryBus::kWatchWrite
                          : type == '3' ? MemoryBus::kWatchRead
                                        : MemoryBus::kWatchRead | MemoryBus::kWatchWrite;
    const Watch watch{address, range->length, kinds};
    session_.SetWatchRange(address, watch.length, kinds, insert, false);
    const auto same = std::find_if(watches_.begin(), watches_.end(), [&](const Watch& w) {
        return w.address == address && w.length == watch.length && w.kinds == kinds;
    });
    if (insert)
        watches_.push_back(watch);
    else if (same != watches_.end())
        watches_.erase(same);
    return "OK";
}

// --- running -----------------------------------------------------------------------------

void GdbStub::Resume(bool step) {
    if (running_) return;
    if (session_.Emulator().runState == CEmulator::kStopped) return Reply("E01");
    session_.SaveState(before_);
    if (step) {
        session_.Execute(RunCommand::kStepInto, 0, this);
        const RunStop stop = session_.Emulator().StepStop();
        if (stop == RunStop::kReadWatch || stop == RunStop::kWriteWatch) {
            session_.RewindTo(before_, 0);
            return Reply(StopReply(kSigTrap, WatchStop()));
        }
        lastSignal_ = kSigTrap;
        return Reply(StopReply(kSigTrap, {}));
    }
    running_ = true;
    interruptSignal_ = kSigTrap;
    // The end of the run may come at once, inside Execute: OnRunEnded replies.
    if (!session_.Execute(RunCommand::kRun, 0, this)) {
        running_ = false;
        Reply("E01");
    }
}

void GdbStub::Interrupt(int signal) {
    if (!running_) return;
    interruptSignal_ = signal;
    session_.Execute(RunCommand::kBreak, 0, this);
}

void GdbStub::OnRunEnded(const RunEnded& ended) {
    if (!running_) return;
    running_ = false;
    const CEmulator& emu = session_.Emulator();
    switch (ended.stop) {
        case RunStop::kBreakpoint:
            lastSignal_ = kSigTrap;
            return Reply(StopReply(kSigTrap, "swbreak:;"));
        case RunStop::kReadWatch:
        case RunStop::kWriteWatch:
            // gdb expects to stop before the access; the run stopped after it.
            session_.RewindTo(before_, emu.LongRunExecuted() - 1);
            return Reply(StopReply(kSigTrap, WatchStop()));
        case RunStop::kNone:  // broken off
            lastSignal_ = interruptSignal_;
            return Reply(StopReply(interruptSignal_, {}));
        default:
            lastSignal_ = kSigTrap;
            return Reply(StopReply(kSigTrap, {}));
    }
}

// "watch:ADDR;" (or rwatch, awatch) for the watchpoint of gdb's the last hit falls on,
// with the first byte of it the access touched.
std::string GdbStub::WatchStop() {
    lastSignal_ = kSigTrap;
    const WatchHit& hit = session_.Emulator().LastWatchHit();
    const uint32_t end = hit.address + std::max<uint32_t>(hit.size, 1);
    for (const Watch& w : watches_) {
        const uint8_t kind = hit.write ? MemoryBus::kWatchWrite : MemoryBus::kWatchRead;
        if (!(w.kinds & kind) || hit.address >= w.address + w.length || end <= w.address) continue;
        const char* name = w.kinds != kind ? "awatch" : hit.write ? "watch" : "rwatch";
        return WatchReason(name, std::max(hit.address, w.address));
    }
    return WatchReason(hit.write ? "watch" : "rwatch", hit.address);
}

std::string GdbStub::StopReply(int signal, const std::string& reason) const {
    std::string reply = "T";
    reply.append(HexByte(signal)).append("0f:").append(BigEndianHex(Pc())).append(";");
    reply.append(reason).append("thread:1;");
    return reply;
}
