// travik.Session: the document's debug session, driven from Python. Runs let go of the
// interpreter lock and go in slices, between which Ctrl-C is looked for.
#include <pybind11/stl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <optional>
#include <vector>

#include "debugger/PhoneScreen.h"
#include "document/DebugMarksFile.h"
#include "python/Bindings.h"
#include "session/DebugSession.h"

namespace {

constexpr const char* kRegisterNames[] = {"R0", "R1", "R2", "R3", "R4", "R5", "R6", "R7",  "H0",
                                          "H1", "H2", "H3", "H4", "SP", "LR", "PC", "CPSR"};
constexpr int kRegisterCount = 17;

// A slice of a run from Python takes about this long; between slices Ctrl-C is seen.
constexpr int64_t kSliceTargetNs = 20'000'000;
constexpr uint64_t kFirstSlice = 1'000'000;

const char* StopName(RunStop stop) {
    switch (stop) {
        case RunStop::kArrived:
            return "arrived";
        case RunStop::kBreakpoint:
            return "breakpoint";
        case RunStop::kReadWatch:
            return "read watchpoint";
        case RunStop::kWriteWatch:
            return "write watchpoint";
        case RunStop::kWarning:
            return "warning";
        default:
            return "limit";
    }
}

const char* AccessName(AccessKind kind) {
    switch (kind) {
        case AccessKind::kWrite:
            return "write";
        case AccessKind::kFetch:
            return "fetch";
        default:
            return "read";
    }
}

uint8_t WatchKinds(const std::string& kind) {
    if (kind == "read") return CEmulator::kWatchRead;
    if (kind == "write") return CEmulator::kWatchWrite;
    if (kind == "access") return CEmulator::kWatchRead | CEmulator::kWatchWrite;
    throw py::value_error("a watchpoint's kind is 'read', 'write' or 'access'");
}

int RegisterIndex(const std::string& name) {
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (int i = 0; i < kRegisterCount; ++i) {
        if (upper == kRegisterNames[i]) return i;
    }
    if (upper.size() >= 2 && upper[0] == 'R') {
        const std::string digits = upper.substr(1);
        if (digits.find_first_not_of("0123456789") == std::string::npos && digits.size() <= 2) {
            const int n = std::stoi(digits);
            if (n < 16) return n;
        }
    }
    throw py::key_error("no register '" + name + "': R0-R7, H0-H4, SP, LR, PC, CPSR (or R8-R15)");
}

class ScriptSession;

// A Python function that sees the accesses of an address range.
class ScriptObserver final : public AccessObserver {
  public:
    ScriptObserver(ScriptSession& owner, py::function callback, uint32_t first, uint32_t length)
        : owner_(owner), callback_(std::move(callback)), first_(first), length_(length) {}
    bool OnAccess(const MemoryAccess& access) override;
    ~ScriptObserver() {
        py::gil_scoped_acquire gil;
        callback_ = py::function();
    }

  private:
    ScriptSession& owner_;
    py::function callback_;
    uint32_t first_, length_;
};

class ScriptSession final : public DebugSessionObserver {
  public:
    explicit ScriptSession(DocumentPtr d) : d_(std::move(d)) { Session().Subscribe(*this); }
    ~ScriptSession() override {
        if (!d_->doc) return;  // closed: the session went with it
        DebugSession& session = d_->doc->Session();
        for (auto& o : observers_) session.RemoveObserver(*o);
        session.Unsubscribe(*this);
    }
    ScriptSession(const ScriptSession&) = delete;
    ScriptSession& operator=(const ScriptSession&) = delete;

    void OnWarning(const std::string& line) override { warnings_.push_back(line); }

    DebugSession& Session() { return d_->Doc().Session(); }
    const CEmulator& Emu() { return Session().Emulator(); }
    ScriptDocument& Document() { return *d_; }
    const std::vector<std::string>& Warnings() {
        d_->Doc();
        return warnings_;
    }

    void Start(int64_t offset) {
        CTravikDoc& doc = d_->Doc();
        const uint32_t o = CheckedOffset(doc, offset);
        if (o % 2 != 0) throw py::value_error("the start offset must be even");
        if (!doc.Session().Execute(RunCommand::kStart, o))
            throw std::runtime_error("the session cannot start now");
        TakeMessages();
    }
    void NeedStarted() {
        if (Emu().runState == CEmulator::kStopped)
            throw std::runtime_error("the session has not started: call start(offset) first");
    }
    void Step() {
        NeedStarted();
        Session().Execute(RunCommand::kStepInto, 0);
    }
    void Stop() { Session().Execute(RunCommand::kStop, 0); }

    // Runs free (until none), or to `until`, in slices, at most maxSteps instructions.
    std::string Run(std::optional<uint64_t> maxSteps, std::optional<uint32_t> until) {
        NeedStarted();
        const uint64_t limit = maxSteps.value_or(UINT64_MAX);
        const auto kind = until ? DebugSession::BatchRun::kUntil : DebugSession::BatchRun::kFree;
        DebugSession& session = Session();
        uint64_t done = 0, slice = kFirstSlice;
        RunStop stop = RunStop::kNone;
        while (done < limit) {
            const uint64_t n = std::min(slice, limit - done);
            const auto begin = std::chrono::steady_clock::now();
            RunResult r;
            {
                ScriptDocument::Busy busy(*d_);
                py::gil_scoped_release release;
                r = session.RunBatch(kind, until.value_or(0), n);
            }
            done += r.executed;
            if (callbackError_) {
                py::error_already_set e = std::move(*callbackError_);
                callbackError_.reset();
                throw e;
            }
            stop = r.stop;
            if (stop != RunStop::kNone || done >= limit || r.executed == 0) break;
            // The next slice would begin on this instruction and pass its breakpoint.
            const std::vector<uint32_t> marks = Emu().Breakpoints();
            if (std::binary_search(marks.begin(), marks.end(), Emu().CurrentInstruction())) {
                stop = RunStop::kBreakpoint;
                break;
            }
            if (PyErr_CheckSignals() != 0) throw py::error_already_set();
            const int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now() - begin)
                                   .count();
            const double wanted =
                ns > 0 ? double(r.executed) * kSliceTargetNs / double(ns) : 8.0 * n;
            slice = std::clamp<uint64_t>(static_cast<uint64_t>(std::min(wanted, 8.0 * n)), 10'000,
                                         1'000'000'000);
        }
        return StopName(stop);
    }
    std::string StepOver(std::optional<uint64_t> maxSteps) {
        NeedStarted();
        const std::optional<uint32_t> target = Emu().StepOverTarget();
        if (!target) {
            Step();
            return "arrived";
        }
        return Run(maxSteps, *target);
    }

    py::bytes Read(uint32_t address, uint32_t length) {
        const CEmulator& emu = Emu();
        std::string out(length, '\0');
        for (uint32_t i = 0; i < length; ++i) {
            const std::optional<uint32_t> b = emu.Peek(address + i, 1);
            if (!b) throw py::index_error("no memory at address " + std::to_string(address + i));
            out[i] = static_cast<char>(*b);
        }
        return py::bytes(out);
    }
    void Write(uint32_t address, const std::string& data) {
        const CTravikDoc& doc = d_->Doc();
        for (size_t i = 0; i < data.size(); ++i) {
            const uint32_t a = address + static_cast<uint32_t>(i);
            if (!Emu().Peek(a, 1) || a - CEmulator::kFlashBase < doc.ImageSize())
                throw py::index_error("address " + std::to_string(a) +
                                      " cannot be written (flash, or no memory)");
        }
        DebugSession& session = Session();
        for (size_t i = 0; i < data.size(); ++i)
            session.Poke(address + static_cast<uint32_t>(i), static_cast<uint8_t>(data[i]), 1);
        session.RefreshWindows({.repaintMemory = true, .repaintPhone = true});
    }

    void SetBreakpoint(uint32_t address, bool on) {
        if (!Session().SetBreakpoint(address, on, false)) {
            std::string why = TakeMessages();
            throw py::value_error(why.empty() ? "not the phone address of a halfword of the image"
                                              : why);
        }
    }
    void ClearBreakpoints() {
        for (uint32_t a : Emu().Breakpoints()) Session().SetBreakpoint(a, false, false);
    }
    void SetWatch(uint32_t address, uint32_t length, const std::string& kind, bool on) {
        const uint8_t kinds = WatchKinds(kind);
        if (!IsWatchableRange(address, length) ||
            !Session().SetWatchRange(address, length, kinds, on, false)) {
            TakeMessages();
            throw py::value_error("not a stack RAM range (0x100000-0x10FFFF)");
        }
    }
    py::list Watchpoints() {
        py::list out;
        const CEmulator& emu = Emu();
        for (uint32_t a = CEmulator::kStackBase;
             a < CEmulator::kStackBase + CEmulator::kStackSize;) {
            const uint8_t kinds = emu.WatchAt(a);
            uint32_t b = a + 1;
            while (b < CEmulator::kStackBase + CEmulator::kStackSize && emu.WatchAt(b) == kinds)
                ++b;
            if (kinds != 0) {
                const char* name = kinds == CEmulator::kWatchRead    ? "read"
                                   : kinds == CEmulator::kWatchWrite ? "write"
                                                                     : "access";
                out.append(py::make_tuple(a, b - a, name));
            }
            a = b;
        }
        return out;
    }

    void Observe(uint32_t address, uint32_t length, py::function callback) {
        if (length == 0) throw py::value_error("the length must be 1 or more");
        observers_.push_back(
            std::make_unique<ScriptObserver>(*this, std::move(callback), address, length));
        Session().ObserveAccesses(*observers_.back(), address, length, true);
    }
    void StopObserving() {
        for (auto& o : observers_) Session().RemoveObserver(*o);
        observers_.clear();
    }
    void SetCallbackError(py::error_already_set&& e) {
        if (!callbackError_) callbackError_.emplace(std::move(e));
    }

    py::list Lcd() {
        const CTravikDoc& doc = d_->Doc();
        py::list rows;
        for (int y = 0; y < PhoneScreen::kLcdHeight; ++y) {
            py::list row;
            for (int x = 0; x < PhoneScreen::kLcdWidth; ++x) {
                const auto at = PhoneScreen::LcdBitOf(x, y);
                row.append(at.ramIndex < doc.RamSize() ? (doc.RamBytes()[at.ramIndex] >> at.bit) & 1
                                                       : 0);
            }
            rows.append(row);
        }
        return rows;
    }

  private:
    std::string TakeMessages() { return JoinedMessages(*d_); }

    DocumentPtr d_;
    std::vector<std::string> warnings_;
    std::vector<std::unique_ptr<ScriptObserver>> observers_;
    std::optional<py::error_already_set> callbackError_;
};

bool ScriptObserver::OnAccess(const MemoryAccess& access) {
    const uint64_t begin = access.address, end = begin + std::max<uint8_t>(access.size, 1);
    if (end <= first_ || begin >= uint64_t{first_} + length_)
        return false;  // another byte of the page
    py::gil_scoped_acquire gil;
    try {
        py::object stop = callback_(AccessName(access.kind), access.address, access.value,
                                    access.size, access.instruction);
        return PyObject_IsTrue(stop.ptr()) == 1;
    } catch (py::error_already_set& e) {
        owner_.SetCallbackError(std::move(e));
        return true;
    }
}

using SessionPtr = std::shared_ptr<ScriptSession>;

// session.registers: reads and writes the emulator's registers by name.
struct Registers {
    SessionPtr session;
    uint32_t Get(const std::string& name) const {
        const int i = RegisterIndex(name);
        const CEmulator& emu = session->Emu();
        return i == Processor::kCpsrIndex ? emu.ComposedCpsr() : emu.r[i];
    }
    void Set(const std::string& name, int64_t value) {
        const int i = RegisterIndex(name);
        if (value < 0 || value > int64_t{UINT32_MAX})
            throw py::value_error("a register holds 0..0xFFFFFFFF");
        session->Session().SetRegister(i, static_cast<uint32_t>(value));
    }
};

}  // namespace

void BindSession(py::module_& m) {
    py::class_<Registers>(m, "Registers", R"doc(
The emulator's registers by name, as a mapping: R0-R7, H0-H4 (R8-R12), SP, LR, PC and
CPSR; R8-R15 and lower case are understood too. PC reads ahead of the current
instruction as the processor's R15 does; assigning it jumps there.
)doc")
        .def("__getitem__", &Registers::Get)
        .def("__setitem__", &Registers::Set)
        .def("__len__", [](const Registers&) { return kRegisterCount; })
        .def("__iter__",
             [](const Registers&) {
                 return py::iter(py::cast(
                     std::vector<std::string>(kRegisterNames, kRegisterNames + kRegisterCount)));
             })
        .def("keys",
             [](const Registers&) {
                 return std::vector<std::string>(kRegisterNames, kRegisterNames + kRegisterCount);
             })
        .def("items",
             [](const Registers& r) {
                 py::list out;
                 for (const char* name : kRegisterNames)
                     out.append(py::make_tuple(name, r.Get(name)));
                 return out;
             })
        .def("__repr__",
             [](const Registers& r) { return py::str(py::dict(py::cast(r).attr("items")())); });

    py::class_<ScriptSession, SessionPtr>(m, "Session", R"doc(
The debug session of a document (there is one per document; two Session objects of the
same document drive the same emulator). Addresses are phone addresses: the flash image
at 0x200000 + offset, the stack RAM at 0x100000. Breakpoints and watchpoints set here
live in memory only: the marks file beside the flash file is left as it is.
)doc")
        .def(py::init<DocumentPtr>(), py::arg("document"))
        .def("start", &ScriptSession::Start, py::arg("offset"),
             "Starts the emulation at the item at image `offset` (even), as Start does.")
        .def("stop", &ScriptSession::Stop, "Stops the emulation.")
        .def("step", &ScriptSession::Step, "Executes one instruction (Step Into).")
        .def("step_over", &ScriptSession::StepOver, py::arg("max_steps") = py::none(),
             "Steps over the call at the current instruction (Step Over); returns why it\n"
             "stopped as run() does.")
        .def("run", &ScriptSession::Run, py::arg("max_steps") = py::none(),
             py::arg("until") = py::none(),
             R"doc(
Runs as Run does (or to phone address `until`) until a breakpoint, a watchpoint, an
instruction that writes a warning, or `max_steps` instructions. Returns why it stopped:
'breakpoint', 'read watchpoint', 'write watchpoint', 'warning', 'arrived' or 'limit'.
Other threads run meanwhile; Ctrl-C raises KeyboardInterrupt and leaves the session
suspended where it was.
)doc")
        .def_property_readonly(
            "state",
            [](ScriptSession& s) {
                switch (s.Emu().runState) {
                    case CEmulator::kSuspended:
                        return "suspended";
                    case CEmulator::kRunning:
                        return "running";
                    default:
                        return "stopped";
                }
            },
            "'stopped', 'suspended' or 'running'.")
        .def_property_readonly(
            "instructions", [](ScriptSession& s) { return s.Emu().InstructionCount(); },
            "Instructions executed since start().")
        .def_property_readonly(
            "pc", [](ScriptSession& s) { return s.Emu().CurrentInstruction(); },
            "The phone address of the current instruction.")
        .def_property_readonly(
            "registers", [](SessionPtr s) { return Registers{s}; },
            "The registers (a writable mapping; see Registers).")
        .def("read", &ScriptSession::Read, py::arg("address"), py::arg("length"),
             "Reads `length` bytes from phone `address` without side effects (Peek).")
        .def("write", &ScriptSession::Write, py::arg("address"), py::arg("data"),
             "Writes bytes at phone `address` (Poke): the stack RAM, the I/O registers, the\n"
             "low window; never the flash. IndexError and nothing written otherwise.")
        .def(
            "add_breakpoint", [](ScriptSession& s, uint32_t a) { s.SetBreakpoint(a, true); },
            py::arg("address"), "Sets a breakpoint at the flash halfword at phone `address`.")
        .def(
            "remove_breakpoint", [](ScriptSession& s, uint32_t a) { s.SetBreakpoint(a, false); },
            py::arg("address"))
        .def("clear_breakpoints", &ScriptSession::ClearBreakpoints)
        .def_property_readonly(
            "breakpoints", [](ScriptSession& s) { return s.Emu().Breakpoints(); },
            "The breakpoints' phone addresses, ascending.")
        .def(
            "add_watchpoint",
            [](ScriptSession& s, uint32_t a, uint32_t n, const std::string& k) {
                s.SetWatch(a, n, k, true);
            },
            py::arg("address"), py::arg("length") = 1, py::arg("kind") = "write",
            "Watches `length` stack RAM bytes from `address` for 'read', 'write' or 'access'.")
        .def(
            "remove_watchpoint",
            [](ScriptSession& s, uint32_t a, uint32_t n, const std::string& k) {
                s.SetWatch(a, n, k, false);
            },
            py::arg("address"), py::arg("length") = 1, py::arg("kind") = "access")
        .def("clear_watchpoints",
             [](ScriptSession& s) {
                 s.Session().SetWatchRange(CEmulator::kStackBase, CEmulator::kStackSize,
                                           CEmulator::kWatchRead | CEmulator::kWatchWrite, false,
                                           false);
             })
        .def_property_readonly("watchpoints", &ScriptSession::Watchpoints,
                               "The watched ranges as (address, length, kind) tuples.")
        .def_property_readonly(
            "watch_hit",
            [](ScriptSession& s) {
                const WatchHit& h = s.Emu().LastWatchHit();
                return py::make_tuple(h.write ? "write" : "read", h.address, h.value, h.size,
                                      h.instruction);
            },
            "The access of the last watchpoint stop: (kind, address, value, size, instruction).")
        .def_property_readonly(
            "call_stack",
            [](ScriptSession& s) {
                py::list out;
                for (const CallRecord& c : s.Emu().callTracks[1])
                    out.append(py::make_tuple(c.callSite, c.target));
                return out;
            },
            "The emulated calls, oldest first, as (call site, target) phone addresses.")
        .def_property_readonly("warnings", &ScriptSession::Warnings,
                               "The warning lines since this Session was made.")
        .def_property_readonly("lcd", &ScriptSession::Lcd,
                               "The phone's display: 48 rows of 84 pixels, 1 for a dark one.")
        .def("observe", &ScriptSession::Observe, py::arg("address"), py::arg("length"),
             py::arg("callback"),
             R"doc(
Calls callback(kind, address, value, size, instruction) for every access the emulated
code makes to [address, address + length) of the stack RAM or the flash ('read',
'write'; flash instruction fetches are not reported). A true result stops the run after
that instruction; an exception stops it and is raised from run(). Slow: the observed
pages leave the emulator's fast paths and every access calls into Python.
)doc")
        .def("stop_observing", &ScriptSession::StopObserving, "Removes every observe() callback.");
}
