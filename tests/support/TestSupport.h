#pragma once

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/CTravikDoc.h"
#include "shell/DrawList.h"
#include "shell/FrameServices.h"
#include "shell/SettingsStore.h"
#include "support/TestDoc.h"

// A frame that records every service call; choosers and Yes/No boxes are answered
// from scripts the test fills in.
class RecordingFrame : public FrameServices {
  public:
    CTravikDoc* GetFirstDocument() override { return firstDocument; }
    SettingsStore& Settings() override { return settings; }
    void SetStatusText(const std::string& text) override { statusTexts.push_back(text); }
    void AddWarning(const std::string& text) override { warnings.push_back(text); }
    void AddJumpEntry(const std::string& text) override { jumpList.push_back(text); }
    void ClearJumpList() override {
        jumpList.clear();
        ++jumpListClears;
    }
    void RefreshCallStack() override { ++callStackRefreshes; }
    void RepaintRegisters() override { ++registerRepaints; }
    void RepaintMemory() override { ++memoryRepaints; }
    void RepaintPhone() override { ++phoneRepaints; }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool AskYesNo(const std::string& text) override;
    void Beep() override { ++beeps; }
    std::optional<std::string> ChooseOpenFile(const std::string& filter) override;
    std::optional<std::string> ChooseSaveFile(const std::string& filter) override;

    CTravikDoc* firstDocument = nullptr;
    MemorySettingsStore settings;
    std::vector<std::string> statusTexts;
    std::vector<std::string> warnings;
    std::vector<std::string> jumpList;
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::vector<std::string> chooserFilters;
    std::deque<bool> yesNoAnswers;                          // answered in order; No when empty
    std::deque<std::optional<std::string>> chooserAnswers;  // cancelled when empty
    int jumpListClears = 0;
    int callStackRefreshes = 0;
    int registerRepaints = 0;
    int memoryRepaints = 0;
    int phoneRepaints = 0;
    int beeps = 0;
};

// A fresh empty folder under /tmp, removed with everything in it when destroyed.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteFile(const std::string& path, const std::string& bytes);
std::vector<uint8_t> ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);

// Appends big-endian halfwords / words, and little-endian info-file integers.
void PutHalf(std::vector<uint8_t>& bytes, uint16_t value);
void PutWord(std::vector<uint8_t>& bytes, uint32_t value);
void PutLe32(std::vector<uint8_t>& bytes, uint32_t value);

// Writes `image` as dir/name and opens it in a new document of `frame`.
// The document is nullptr when the open failed.
std::unique_ptr<CTravikDoc> OpenImage(RecordingFrame& frame, const std::string& path);

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};
// Runs travik-cli with the arguments (in folder `cwd` when given) and captures stdout,
// stderr and exit status.
CliResult RunCli(const std::vector<std::string>& args, const std::string& cwd = {});

// The places around flash file dir/v.fls (1 KiB, written here) that no output of the
// program may write: the flash file itself, a link and a hard link to it, its info
// file (written here, valid), its breakpoint file (absent), a FIFO, a device, a folder
// and a read-only file. Each with the message that refuses it; Unchanged() checks that
// every one of them is as it was and nothing else appeared in the folder.
class ForbiddenTargets {
  public:
    struct Target {
        std::string path;
        std::string refusal;
    };
    explicit ForbiddenTargets(const TempDir& dir);
    const std::string& Flash() const { return flash_; }
    const std::vector<Target>& All() const { return targets_; }
    // Empty when all is as it was, else what changed.
    std::string Changed() const;

  private:
    const TempDir& dir_;
    std::string flash_;
    std::vector<Target> targets_;
    std::vector<uint8_t> image_;
    std::vector<uint8_t> info_;
};

// Every primitive of a paint as one text line each, in drawing order (cells as their
// geometry and one row of colours per line), for comparing whole paints with a file.
std::string DumpDrawList(const DrawList& draw);
// Expects `actual` to be the content of the file at `path`; TRAVIK_BLESS=1 writes it
// there instead (read the difference before committing it).
void ExpectGolden(const std::string& path, const std::string& actual);
// Writes `bytes` as `path` and opens it (nullptr when the open failed).
std::unique_ptr<CTravikDoc> OpenImageBytes(RecordingFrame& frame, const std::string& path,
                                           const std::vector<uint8_t>& bytes);
// Big-endian THUMB halfwords as image bytes.
std::vector<uint8_t> ImageOfHalfwords(std::initializer_list<uint16_t> values);

#ifdef TRAVIK_WORKLOAD_DIR
// The compiled C workloads at both levels, each as its path without ".fls" or ".elf".
inline std::vector<std::string> WorkloadBases() {
    std::vector<std::string> bases;
    for (const char* name : {"list", "matrix", "fsm", "crc", "memops", "recurse"})
        for (const char* level : {"O2", "Os"})
            bases.push_back(std::string(TRAVIK_WORKLOAD_DIR) + "/" + name + "-" + level);
    return bases;
}
#endif
