#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/CTravikDoc.h"
#include "shell/NullFrame.h"

inline constexpr int kExitOk = 0;
inline constexpr int kExitOpenFailed = 1;
inline constexpr int kExitUsage = 2;

// The frame of the batch tool: message boxes go to stderr ("\r\n" as a line break),
// Yes/No questions are answered No, choosers are cancelled, the settings are the
// defaults (an in-memory store, never the user's), the status bar is dropped and
// warnings are collected.
class CliFrame : public NullFrame {
  public:
    CTravikDoc* GetFirstDocument() override { return document; }
    void AddWarning(const std::string& text) override { warnings.push_back(text); }
    void AddJumpEntry(const std::string& text) override { jumpList.push_back(text); }
    void ClearJumpList() override { jumpList.clear(); }
    void ShowMessage(const std::string& text) override;
    // Printed as "note: ..." so that it does not read as an error.
    void ShowNotice(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;

    CTravikDoc* document = nullptr;
    std::vector<std::string> warnings;
    std::vector<std::string> jumpList;
    int messagesShown = 0;
};

// Prints each question on stdout as the box shows it, then the scripted answer.
class AnsweringFrame : public CliFrame {
  public:
    bool AskYesNo(const std::string& text) override;
    bool answer = false;
};
// FLASH... [--answer yes|no]: the paths and the answer, or none on a usage error.
std::optional<std::vector<std::string>> PathsAndAnswer(const std::vector<std::string>& args,
                                                       bool& answer);

// Opens `path` as the program does; nullptr when the open failed (its messages have
// gone to stderr). An info file that exists but could not be read also fails the open
// here: the batch tool must never go on as if the user's annotations were not there.
// Damage that the open survives is printed as a warning that says what was dropped.
// Only `recover` reads the journal of unsaved changes; the other commands leave it alone.
std::unique_ptr<CTravikDoc> OpenForCli(CliFrame& frame, const std::string& path,
                                       bool recover = false);

// "TEXT: PATH: REASON" on stderr, for failures of files the batch tool reads or writes.
void PrintFileError(const char* text, const std::string& path, int error);

// Writes `text` to stdout with control characters shown as "\xNN", so that texts from
// the image or the info file can neither forge output lines nor drive the terminal.
// '\0' stands for a line end and is written as '\n'. False on a write error.
bool WriteEscaped(std::string_view text);

// Parses a hex number with or without "0x"; none when it is not one.
std::optional<uint32_t> ParseHex(const std::string& text);
// Parses a decimal number; none when it is not one.
std::optional<uint64_t> ParseDecimal(const std::string& text);

// The commands: name, the words after it, what it does, and the function.
struct CommandInfo {
    const char* name;
    const char* synopsis;
    const char* description;
    int (*run)(const std::vector<std::string>& args);
};
extern const CommandInfo kCommands[];
extern const size_t kCommandCount;

// Prints a usage error for `command` and returns kExitUsage.
int UsageError(const char* command);
// True when the words ask for help ("--help" or "-h" anywhere).
bool WantsHelp(const std::vector<std::string>& args);
// Prints the command's help on stdout.
void PrintHelp(const CommandInfo& command);

// The commands; args are the words after the command's name.
int RunAnalyzeCommand(const std::vector<std::string>& args);
int RunJumplistCommand(const std::vector<std::string>& args);
int RunLinesCommand(const std::vector<std::string>& args);
int RunExportCommand(const std::vector<std::string>& args);
int RunRunCommand(const std::vector<std::string>& args);
int RunMergeCommand(const std::vector<std::string>& args);
int RunFixCommand(const std::vector<std::string>& args);
int RunRecoverCommand(const std::vector<std::string>& args);
int RunSearchCommand(const std::vector<std::string>& args);
int RunRefsCommand(const std::vector<std::string>& args);
int RunElfCommand(const std::vector<std::string>& args);
int RunSymbolsCommand(const std::vector<std::string>& args);
int RunGdbServerCommand(const std::vector<std::string>& args);
int RunScriptCommand(const std::vector<std::string>& args);
