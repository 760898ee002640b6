#include "support/TestSupport.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

bool RecordingFrame::AskYesNo(const std::string& text) {
    questions.push_back(text);
    if (yesNoAnswers.empty()) return false;
    bool answer = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return answer;
}

std::optional<std::string> RecordingFrame::ChooseOpenFile(const std::string& filter) {
    chooserFilters.push_back(filter);
    if (chooserAnswers.empty()) return std::nullopt;
    auto answer = chooserAnswers.front();
    chooserAnswers.pop_front();
    return answer;
}

std::optional<std::string> RecordingFrame::ChooseSaveFile(const std::string& filter) {
    return ChooseOpenFile(filter);
}

TempDir::TempDir() {
    char pattern[] = "/tmp/travik-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = made;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    WriteFile(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool FileExists(const std::string& path) {
    return std::filesystem::exists(path);
}

void PutHalf(std::vector<uint8_t>& bytes, uint16_t value) {
    bytes.push_back(static_cast<uint8_t>(value >> 8));
    bytes.push_back(static_cast<uint8_t>(value));
}

void PutWord(std::vector<uint8_t>& bytes, uint32_t value) {
    PutHalf(bytes, static_cast<uint16_t>(value >> 16));
    PutHalf(bytes, static_cast<uint16_t>(value));
}

void PutLe32(std::vector<uint8_t>& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

std::unique_ptr<CTravikDoc> OpenImage(RecordingFrame& frame, const std::string& path) {
    auto doc = std::make_unique<CTravikDoc>(frame);
    if (!doc->OnOpenDocument(path)) return nullptr;
    return doc;
}

std::unique_ptr<CTravikDoc> OpenImageBytes(RecordingFrame& frame, const std::string& path,
                                           const std::vector<uint8_t>& bytes) {
    WriteFile(path, bytes);
    return OpenImage(frame, path);
}

std::vector<uint8_t> ImageOfHalfwords(std::initializer_list<uint16_t> values) {
    std::vector<uint8_t> bytes;
    for (uint16_t v : values) PutHalf(bytes, v);
    return bytes;
}

namespace {
std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Quote(const std::string& arg) {
    std::string quoted(1, '\'');
    for (char c : arg) {
        if (c == '\'') {
            quoted.append("'\\''");
        } else {
            quoted.push_back(c);
        }
    }
    quoted.push_back('\'');
    return quoted;
}
}  // namespace

CliResult RunCli(const std::vector<std::string>& args, const std::string& cwd) {
    TempDir dir;
    std::string command = (cwd.empty() ? "" : "cd " + Quote(cwd) + " && ") + Quote(TRAVIK_CLI);
    for (const auto& a : args) command.append(" ").append(Quote(a));
    command.append(" >").append(Quote(dir.File("out"))).append(" 2>").append(Quote(dir.File("err")));
    CliResult result;
    int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = Slurp(dir.File("out"));
    result.err = Slurp(dir.File("err"));
    return result;
}

ForbiddenTargets::ForbiddenTargets(const TempDir& dir) : dir_(dir), flash_(dir.File("v.fls")) {
    for (int i = 0; i < 512; ++i) PutHalf(image_, 0x2005);
    WriteFile(flash_, image_);
    PutLe32(info_, 1024);
    info_.insert(info_.end(), 512, 2);
    for (int s = 0; s < 6; ++s) PutLe32(info_, 0xFFFFFFFF);
    WriteFile(dir.File("v.ifo"), info_);
    ::symlink(flash_.c_str(), dir.File("link.out").c_str());
    ::link(flash_.c_str(), dir.File("hard.out").c_str());
    ::mkfifo(dir.File("p.fifo").c_str(), 0600);
    ::mkdir(dir.File("folder.d").c_str(), 0700);
    WriteFile(dir.File("ro.out"), std::string("keep"));
    ::chmod(dir.File("ro.out").c_str(), 0444);
    const std::string flashFile = " is the open flash file; it is never written.";
    targets_ = {
        {flash_, flash_ + flashFile},
        {dir.File("link.out"), dir.File("link.out") + flashFile},
        {dir.File("hard.out"), dir.File("hard.out") + flashFile},
        {dir.File("v.ifo"), dir.File("v.ifo") + " is the info file of the open flash file; only Save writes it."},
        {dir.File("v.brk"), dir.File("v.brk") +
                                " holds the breakpoints and watchpoints of the open flash file; "
                                "only they write it."},
        {dir.File("p.fifo"), dir.File("p.fifo") + " is a FIFO: nothing was written."},
        {"/dev/null", "/dev/null is a device: nothing was written."},
        {dir.File("folder.d"), dir.File("folder.d") + " is a folder: nothing was written."},
        {dir.File("ro.out"), dir.File("ro.out") + " is read-only: nothing was written."},
    };
}

std::string ForbiddenTargets::Changed() const {
    struct stat st {};
    if (ReadFileBytes(flash_) != image_) return "the flash file";
    if (ReadFileBytes(dir_.File("v.ifo")) != info_) return "the info file";
    if (::lstat(dir_.File("v.brk").c_str(), &st) == 0) return "the breakpoint file";
    if (::lstat(dir_.File("p.fifo").c_str(), &st) != 0 || !S_ISFIFO(st.st_mode)) return "the FIFO";
    if (::stat("/dev/null", &st) != 0 || !S_ISCHR(st.st_mode)) return "/dev/null";
    if (::lstat(dir_.File("link.out").c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return "the link";
    if (ReadFileBytes(dir_.File("ro.out")) != std::vector<uint8_t>{'k', 'e', 'e', 'p'})
        return "the read-only file";
    size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
        (void)entry;
        ++entries;
    }
    // v.fls, v.ifo, link.out, hard.out, p.fifo, folder.d, ro.out: nothing more.
    return entries == 7 ? std::string() : "a new file in the folder";
}
