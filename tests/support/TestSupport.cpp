#include "support/TestSupport.h"

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

CliResult RunCli(const std::vector<std::string>& args) {
    TempDir dir;
    std::string command = Quote(TRAVIK_CLI);
    for (const auto& a : args) command.append(" ").append(Quote(a));
    command.append(" >").append(Quote(dir.File("out"))).append(" 2>").append(Quote(dir.File("err")));
    CliResult result;
    int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = Slurp(dir.File("out"));
    result.err = Slurp(dir.File("err"));
    return result;
}
