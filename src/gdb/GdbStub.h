#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/CEmulator.h"
#include "gdb/GdbPacket.h"
#include "session/DebugSession.h"

class CTravikDoc;

// The GDB remote serial protocol over one document's debug session: bytes from the
// client in, bytes for it out through the sender. No sockets here: the batch tool feeds it
// from its socket loop, the window from a QTcpSocket.
//
// A `c` is the session's Run with the stub as its remote driver, sliced through the
// session's scheduler; the stop reply goes out when the session tells that the run ended.
// A raw 0x03 during a run breaks it off (T02). Registers go out big-endian, as the phone
// stores them: r0-r15, then the CPSR as register 25 (target.xml numbers it so).
class GdbStub final : public DebugSessionObserver {
  public:
    using Sender = std::function<void(std::string_view bytes)>;
    // Subscribes to the document's session and becomes its remote driver; when no emulation
    // is open, starts one at image offset `startOffset` (as Start at the listing cursor).
    GdbStub(CTravikDoc& doc, uint32_t startOffset, Sender send);
    GdbStub(const GdbStub&) = delete;
    GdbStub& operator=(const GdbStub&) = delete;
    // A run gdb started is broken off (Break); the session is the windows' again.
    ~GdbStub() override;
    void Receive(std::string_view bytes);
    // The connection is gone: as a detach (a run under way is broken off).
    void ConnectionLost();
    // The client detached (`D`) or killed (`k`): the transport closes the connection.
    bool Finished() const { return finished_; }
    // One line for the user about what happened ("GDB: detached", ...), optional.
    std::function<void(const std::string&)> onStatus;

    // The register number of the CPSR in target.xml, `g` and `p`.
    static constexpr int kCpsrRegister = 25;

    // DebugSessionObserver
    void OnRunEnded(const RunEnded& ended) override;

  private:
    // A watchpoint gdb set.
    struct Watch {
        uint32_t address = 0;
        uint32_t length = 0;
        uint8_t kinds = 0;
    };

    void Handle(const std::string& packet);
    void Query(std::string_view packet);
    void VPacket(std::string_view packet);
    void Reply(std::string_view payload);
    void Status(const std::string& line);
    std::string StopReply(int signal, const std::string& reason) const;
    std::string WatchStop();
    std::optional<uint32_t> RegisterValue(int index) const;
    uint32_t Pc() const;
    void SetPc(uint32_t address);
    std::string ReadRegisters() const;
    bool WriteRegisters(std::string_view hex);
    bool WriteRegister(int index, std::string_view bytes);
    std::string ReadMemory(std::string_view args) const;
    bool WriteMemory(std::string_view args, bool binary);
    std::string ChangeMark(bool insert, std::string_view args);
    std::string Features(std::string_view args) const;
    void Resume(bool step);
    void Interrupt(int signal);
    void Kill();
    void Release();

    CTravikDoc& doc_;
    DebugSession& session_;
    Sender send_;
    GdbPacketReader reader_;
    std::string lastReply_;  // framed, for a '-'
    bool noAck_ = false;
    bool finished_ = false;
    bool released_ = false;
    bool running_ = false;               // a `c` waits for the end of its run
    int interruptSignal_ = 5;            // the signal a run broken off reports
    int lastSignal_ = 5;                 // of the last stop, for `?`
    std::vector<uint32_t> breakpoints_;  // gdb's
    std::vector<Watch> watches_;
    MachineState before_;  // the machine as the running `c` or `s` found it
};
