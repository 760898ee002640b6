#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

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
    ~GdbStub() override;  // a run gdb started is broken off (Break); the session is the windows' again
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
    void Handle(const std::string& packet);
    void Reply(std::string_view payload);
    void Status(const std::string& line);
    std::string StopReply() const;
    std::string ReadRegisters() const;
    bool WriteRegisters(std::string_view hex);
    std::string ReadRegister(int index) const;
    bool WriteRegister(int index, std::string_view hex);
    std::string ReadMemory(std::string_view args) const;
    bool WriteMemory(uint32_t address, std::string_view bytes);
    std::string Breakpoint(std::string_view packet);
    std::string Features(std::string_view args) const;
    void Resume(bool step);
    void VCont(std::string_view actions);
    void Interrupt();
    void EndRun();
    void Release();

    CTravikDoc& doc_;
    DebugSession& session_;
    Sender send_;
    GdbPacketReader reader_;
    bool noAck_ = false;
    bool finished_ = false;
    bool released_ = false;
    bool running_ = false;      // a `c` or `s` waits for its stop reply
    bool interrupted_ = false;  // the client asked for a break (0x03)
    int lastSignal_ = 5;        // of the last stop: SIGTRAP, or SIGINT after a break
    std::string lastStop_;      // the last stop reply, for `?`
    MachineState before_;       // the machine as the running `c` or `s` found it
};
