#pragma once

#include <cstdint>
#include <utility>

// What the emulated code did to a byte: read it, wrote it or fetched an instruction from it.
enum class AccessKind : uint8_t { kRead, kWrite, kFetch };

// One access of the emulated memory: the instruction that made it, its address, its size
// (1, 2 or 4 bytes) and the value read or written (the marker value of a misaligned one).
struct MemoryAccess {
    uint32_t instruction = 0;
    uint32_t address = 0;
    uint32_t value = 0;
    uint8_t size = 0;
    AccessKind kind = AccessKind::kRead;
};

// Sees the accesses of the stack RAM pages it observes (MemoryBus::ObservePages), or of
// the peripherals (MemoryBus::ObservePeripherals). An observed page has no fast path, so
// every access that touches it reaches the observers from the slow paths, in the order
// the emulated code makes them. An observer filters the bytes it cares about itself. OnAccess returns true to stop a run after the
// instruction that made the access (the first such access is the run's watch hit).
class AccessObserver {
  public:
    virtual bool OnAccess(const MemoryAccess& access) = 0;

  protected:
    ~AccessObserver() = default;
};

// The latest read and the latest write of the stack RAM, for a view that follows the
// emulated code. It sees every stack access: the fast paths store its address directly
// (one store, which keeps them fast), the slow paths call it as an observer. An
// instruction fetch from the RAM counts as a read.
class LatestAccesses final : public AccessObserver {
  public:
    static constexpr uint32_t kNone = 0xFFFFFFFF;
    uint32_t read = kNone;
    uint32_t write = kNone;

    bool OnAccess(const MemoryAccess& access) override {
        (access.kind == AccessKind::kWrite ? write : read) = access.address;
        return false;
    }
    // The latest read (write) not taken yet, or kNone; taking it clears it.
    uint32_t TakeRead() { return std::exchange(read, kNone); }
    uint32_t TakeWrite() { return std::exchange(write, kNone); }
};
