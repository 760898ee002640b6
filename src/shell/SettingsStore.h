#pragma once

#include <map>
#include <string>

// The user's settings: integers by key in one section. Reading a key that was never
// written yields the default the caller passes.
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    virtual int GetProfileInt(const std::string& section, const std::string& key,
                              int defaultValue) = 0;
    virtual void WriteProfileInt(const std::string& section, const std::string& key, int value) = 0;
};

// Every key the program keeps, with the default its reader passes.
namespace settings {
inline constexpr const char* kSection = "Settings";

struct Key {
    const char* name;
    int defaultValue;
};

inline constexpr Key kStartMaximized{"Start Maximized", 1};
inline constexpr Key kViewCallStack{"View CallStack", 0};
inline constexpr Key kViewRegisters{"View Registers", 0};
inline constexpr Key kViewWarnings{"View Warnings", 0};
inline constexpr Key kViewMemory{"View Memory", 0};
inline constexpr Key kViewPhone{"View Phone", 0};
inline constexpr Key kViewSearchResults{"View Search Results", 0};
inline constexpr Key kViewReferences{"View References", 0};
inline constexpr Key kViewIoMap{"View IO Map", 0};
inline constexpr Key kBaseAddress{"Base Address", 0};
inline constexpr Key kLowerCase{"Lower Case", 0};
inline constexpr Key kViewJumps{"View Jumps", 1};
inline constexpr Key kViewHex{"View Hex", 1};
inline constexpr Key kViewAscii{"View Ascii", 1};
inline constexpr Key kViewBitmap{"View Bitmap", -7};
inline constexpr Key kViewSystemStrings{"View SystemStrings", 1};
inline constexpr Key kGnuSyntax{"View GNU Syntax", 0};
inline constexpr Key kNumColumns{"Num Columns", 2};
inline constexpr Key kGdbServerPort{"GDB Server Port", 1234};

inline constexpr Key kAllKeys[] = {
    kStartMaximized, kViewCallStack, kViewRegisters,     kViewWarnings, kViewMemory,
    kViewPhone,      kBaseAddress,   kLowerCase,         kViewJumps,    kViewHex,
    kViewAscii,      kViewBitmap,    kViewSystemStrings, kNumColumns,   kGdbServerPort,
    kViewSearchResults, kViewReferences,
    kViewIoMap,
    kGnuSyntax,
};

// Reads a key of the "Settings" section with its own default.
inline int Read(SettingsStore& store, const Key& key) {
    return store.GetProfileInt(kSection, key.name, key.defaultValue);
}
inline void Write(SettingsStore& store, const Key& key, int value) {
    store.WriteProfileInt(kSection, key.name, value);
}
}  // namespace settings

// A store that lives in memory only: the batch tool uses it so that it never sees
// or changes the user's stored settings, and tests use it to set up stored values.
class MemorySettingsStore : public SettingsStore {
  public:
    int GetProfileInt(const std::string& section, const std::string& key,
                      int defaultValue) override {
        auto it = values_.find(section + '\n' + key);
        return it == values_.end() ? defaultValue : it->second;
    }
    void WriteProfileInt(const std::string& section, const std::string& key, int value) override {
        values_[section + '\n' + key] = value;
    }
    bool Has(const std::string& section, const std::string& key) const {
        return values_.count(section + '\n' + key) != 0;
    }

  private:
    std::map<std::string, int> values_;
};
