#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "emulator/AccessObserver.h"
#include "emulator/Watchpoints.h"

// One peripheral byte register of the emulated phone.
struct IoRegister {
    uint32_t address = 0;
    uint8_t value = 0;
    uint8_t previousValue = 0;
    uint32_t wasRead = 0;     // set on the first emulated read, never cleared
    uint32_t wasWritten = 0;  // set on the first emulated write, never cleared
};

// The phone's memory map as the emulated code sees it: the 64 KB stack RAM and the
// flash image (both the caller's), the I/O registers and the low window, with the
// observers of RAM pages and of the peripherals, the watchpoints and the follow marks.
//
// The stack RAM and the flash image have fast paths, inline in the code that runs
// (MemoryPaths.h); everything else, with every warning and marker value, is in
// MemoryBus.cpp. Warnings and observer stops go to the bus's owner.
class MemoryBus {
  public:
    static constexpr uint32_t kStackBase = 0x100000;
    static constexpr uint32_t kStackSize = 0x10000;
    // The stack RAM is observed in pages of 16 bytes, so that a few observed variables
    // leave the fast paths for little more than themselves.
    static constexpr uint32_t kStackPageShift = 4;
    static constexpr uint32_t kStackPageSize = 1u << kStackPageShift;
    static constexpr uint32_t kStackPages = kStackSize >> kStackPageShift;
    static constexpr uint32_t StackPage(uint32_t address) {
        return (address >> kStackPageShift) & (kStackPages - 1);
    }
    static constexpr uint32_t kFlashBase = 0x200000;
    static constexpr uint32_t kFlashWindow = 0x100000;
    static constexpr uint8_t kWatchRead = 1;
    static constexpr uint8_t kWatchWrite = 2;
    static constexpr int kMaxIoRegisters = 100;

    // What the slow paths report: warning lines, and an observer's request to stop
    // after the access it saw.
    class Owner {
      public:
        virtual void OnBusWarning(const char* line) = 0;
        virtual void OnObservedStop(const MemoryAccess& access) = 0;
        // Flash pages came to be observed or no longer are: code decoded ahead must read
        // its literals again (or may fold them in again).
        virtual void OnFlashObservationChanged() = 0;

      protected:
        ~Owner() = default;
    };

    // `r15` is the processor's R15, 4 bytes ahead of the instruction making an access:
    // warnings and observers name that instruction.
    MemoryBus(const uint32_t& r15, Owner& owner);
    MemoryBus(const MemoryBus&) = delete;
    MemoryBus& operator=(const MemoryBus&) = delete;

    // Maps the flash image (never written) at kFlashBase; returns the bytes of it the
    // window covers.
    uint32_t MapFlash(const uint8_t* flashBytes, uint32_t size);
    // Maps the kStackSize bytes of stack RAM (null: none) at kStackBase.
    void MapStack(uint8_t* stackBytes) {
        stackMemory = stackBytes;
        const bool fast = stackMemory != nullptr;
        stackFastSize_ = fast ? kStackSize : 0;
        stackFastRegion_ = fast ? 1 : ~0u;
    }
    // Copies the I/O register values (when written) as the "previous" ones.
    void SaveIoSnapshot();

    // --- the emulated code's accesses (fast paths in MemoryPaths.h) -------------------
    // `beforeSlow` runs before the slow path only (the run loop sets R15 there, which
    // warnings name).
    struct NoHook {
        void operator()() const {}
    };
    // The halfword at `address` as an instruction fetch.
    [[gnu::always_inline]] inline uint16_t FetchThumb(uint32_t address);
    template <class Hook = NoHook>
    [[gnu::always_inline]] inline uint8_t ReadByte(uint32_t address, Hook beforeSlow = {});
    template <class Hook = NoHook>
    [[gnu::always_inline]] inline uint16_t ReadHalf(uint32_t address, bool execute,
                                                    Hook beforeSlow = {});
    template <class Hook = NoHook>
    [[gnu::always_inline]] inline uint32_t ReadWord(uint32_t address, Hook beforeSlow = {});
    template <class Hook = NoHook>
    [[gnu::always_inline]] inline void WriteByte(uint32_t address, uint8_t value,
                                                 Hook beforeSlow = {});
    template <class Hook = NoHook>
    [[gnu::always_inline]] inline void WriteHalf(uint32_t address, uint16_t value,
                                                 Hook beforeSlow = {});
    template <class Hook = NoHook>
    [[gnu::always_inline]] inline void WriteWord(uint32_t address, uint32_t value,
                                                 Hook beforeSlow = {});

    // --- from outside the emulated code ------------------------------------------------
    // Reads `size` (1, 2 or 4) bytes at any alignment, big-endian, as they are stored: the
    // stack RAM, the flash image, the I/O registers' values, the low window. No warning,
    // no access mark, no observer, no I/O read flag. None when a byte is in no area.
    std::optional<uint32_t> Peek(uint32_t address, uint32_t size = 1) const;
    // Stores the same way; refused (false, nothing stored) when a byte is in the flash
    // image or in no area. An I/O register keeps its written flags.
    bool Poke(uint32_t address, uint32_t value, uint32_t size = 1);

    // --- watchpoints -------------------------------------------------------------------
    // Watchpoints sit on bytes of the stack RAM (0x100000-0x10FFFF); a range is
    // clipped to it. An access hits when any byte it covers is watched for its kind.
    void SetWatch(uint32_t address, uint32_t length, uint8_t kinds, bool on);
    uint8_t WatchAt(uint32_t address) const { return watches_.At(address - kStackBase); }
    void ClearWatches();
    bool HasWatches() const { return watches_.Any(); }

    // --- observers -----------------------------------------------------------------------
    // Calls `observer` for every access of the emulated code that touches the stack RAM
    // pages (16 bytes each) or the flash image pages (256 bytes each) of [address, address
    // + length) (elsewhere: none), or stops that (on = false); an observer with no page left is
    // dropped. Of the flash, the data reads are reported (instruction fetches are not):
    // while any flash page is observed, flash data reads leave the fast paths and
    // literal loads are no longer folded into the decoded code. Observers are called in
    // the order they came; none may add or remove observers from OnAccess.
    void ObservePages(AccessObserver& observer, uint32_t address, uint32_t length, bool on);
    // Observes every access the emulated code makes to the peripherals: the I/O registers
    // and the low window (the observer takes the addresses it cares about itself). These
    // areas have no fast paths: while no one observes them a run pays nothing for it.
    void ObservePeripherals(AccessObserver& observer, bool on);
    // Ends both kinds of observation.
    void RemoveObserver(AccessObserver& observer);
    // Whether any observer may ask a run to stop.
    bool HasObservers() const {
        return observedPageCount_ != 0 || !peripheralObservers_.empty() || !flashObservers_.empty();
    }

    // --- fields ----------------------------------------------------------------------------
    // The fast paths' fields come first, on the cache lines the run loop uses.
    uint8_t* stackMemory = nullptr;        // kStackSize bytes, at kStackBase
    const uint8_t* flashMemory = nullptr;  // flashSize bytes, at kFlashBase
    // The latest stack RAM read and write, which the Memory Dump follows.
    LatestAccesses followMarks;

  protected:
    // Formats a warning line (printf rules) and passes it to the owner.
    void Warn(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Flash offsets below these limits can be read as a whole byte / halfword / word.
    uint32_t flashByteLimit_ = 0;
    uint32_t flashHalfLimit_ = 0;
    uint32_t flashWordLimit_ = 0;
    // The same for data reads on the fast paths: none while flash pages are observed.
    uint32_t flashDataByteLimit_ = 0;
    uint32_t flashDataHalfLimit_ = 0;
    uint32_t flashDataWordLimit_ = 0;

  private:
    uint32_t stackFastSize_ = 0;
    uint32_t stackFastRegion_ = ~0u;
    uint32_t observedPageCount_ = 0;
    // Per page of the stack RAM, how many observers observe it: the fast paths pass
    // every observed page by.
    uint8_t observedPages_[kStackPages] = {};

  public:
    uint32_t flashSize = 0;
    uint32_t ioWritten = 0;
    int32_t ioRegisterCount = 0;
    IoRegister ioRegisters[kMaxIoRegisters];
    uint8_t lowWindow[1024] = {};

  private:
    uint8_t ReadByteSlow(uint32_t address);
    uint16_t ReadHalfSlow(uint32_t address, bool execute);
    uint32_t ReadWordSlow(uint32_t address);
    void WriteByteSlow(uint32_t address, uint8_t value);
    void WriteHalfSlow(uint32_t address, uint16_t value);
    void WriteWordSlow(uint32_t address, uint32_t value);
    // The instruction making the current access.
    uint32_t Current() const { return r15_ - 4; }
    // An access of the stack RAM, which the slow paths report: to the follow marks, and
    // to the observers of the pages it touches (the RAM repeats through 0x100000-0x1FFFFF
    // for writes, so the page is the offset's).
    void Observe(uint32_t address, uint32_t size, uint32_t value, AccessKind kind) {
        const MemoryAccess access{Current(), address, value, static_cast<uint8_t>(size), kind};
        followMarks.OnAccess(access);
        if (observedPageCount_ == 0) return;
        const uint32_t first = StackPage(address);
        const uint32_t last = StackPage(address + size - 1);
        if (observedPages_[first] | observedPages_[last]) NotifyObservers(access, first, last);
    }
    // The first observer that asks for a stop makes the run's watch hit; later ones in the
    // same run are still called but do not replace it. Inline in the slow paths: the
    // busiest observed variables come here on every access.
    void NotifyObservers(const MemoryAccess& access, uint32_t first, uint32_t last) {
        for (size_t i = 0; i < observers_.size(); ++i) {
            const ObserverPages& entry = observers_[i];
            if (!entry.Has(first) && !entry.Has(last)) continue;
            if (entry.observer->OnAccess(access)) owner_.OnObservedStop(access);
        }
    }
    // An access of an I/O register or the low window, which the slow paths report.
    void ObservePeripheral(uint32_t address, uint32_t size, uint32_t value, AccessKind kind) {
        if (peripheralObservers_.empty()) return;
        NotifyPeripheralObservers({Current(), address, value, static_cast<uint8_t>(size), kind});
    }
    void NotifyPeripheralObservers(const MemoryAccess& access);
    // A data read of the flash, which the slow paths report to the observers of its pages.
    void ObserveFlash(uint32_t address, uint32_t size, uint32_t value) {
        if (flashObservers_.empty()) return;
        NotifyFlashObservers({Current(), address, value, static_cast<uint8_t>(size), AccessKind::kRead});
    }
    void NotifyFlashObservers(const MemoryAccess& access);
    void ObserveFlashPages(AccessObserver& observer, uint32_t begin, uint32_t end, bool on);
    void SetFlashDataLimits();
    const uint8_t* ByteAt(uint32_t address) const;
    IoRegister* FindIoRegister(uint32_t address);

    const uint32_t& r15_;
    Owner& owner_;
    // The watch kinds per stack RAM byte: an observer of the pages that hold any.
    Watchpoints watches_;
    // The observers with their pages (a bit per page of the stack RAM).
    struct ObserverPages {
        AccessObserver* observer;
        uint64_t pages[kStackPages / 64];
        bool Has(uint32_t page) const { return (pages[page >> 6] >> (page & 63)) & 1; }
    };
    std::vector<ObserverPages> observers_;
    // The observers of flash pages, a bit per 256-byte page of the flash window.
    struct FlashObserverPages {
        AccessObserver* observer;
        std::vector<uint64_t> pages;
        bool Has(uint32_t page) const { return (pages[page >> 6] >> (page & 63)) & 1; }
    };
    std::vector<FlashObserverPages> flashObservers_;
    std::vector<AccessObserver*> peripheralObservers_;
};
