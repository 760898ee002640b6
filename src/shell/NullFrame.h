#pragma once

#include <optional>
#include <string>

#include "shell/FrameServices.h"
#include "shell/SettingsStore.h"

// Frame services with no window behind them: nothing is shown, questions are answered
// No, choosers are cancelled and the settings live in memory (the defaults, never the
// user's). The batch tool and the benchmarks build on it.
class NullFrame : public FrameServices {
public:
    CTravikDoc* GetFirstDocument() override { return nullptr; }
    SettingsStore& Settings() override { return settings; }
    void SetStatusText(const std::string&) override {}
    void AddWarning(const std::string&) override {}
    void AddJumpEntry(const std::string&) override {}
    void ClearJumpList() override {}
    void RefreshCallStack() override {}
    void RepaintRegisters() override {}
    void RepaintMemory() override {}
    void RepaintPhone() override {}
    void ShowMessage(const std::string&) override {}
    bool AskYesNo(const std::string&) override { return false; }
    void Beep() override {}
    std::optional<std::string> ChooseOpenFile(const std::string&) override { return std::nullopt; }
    std::optional<std::string> ChooseSaveFile(const std::string&) override { return std::nullopt; }

    MemorySettingsStore settings;
};
