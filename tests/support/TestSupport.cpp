#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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
    // A command that runs away (a planted fault in a run's bound) fails its test instead
    // of holding it until ctest's timeout.
    std::string command =
        (cwd.empty() ? "" : "cd " + Quote(cwd) + " && ") + "timeout -k 5 100 " + Quote(TRAVIK_CLI);
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

std::string DumpDrawList(const DrawList& draw) {
    std::ostringstream s;
    auto rgb = [](Rgb c) {
        char text[8];
        std::snprintf(text, sizeof text, "%06x", PackRgb(c));
        return std::string(text);
    };
    for (const DrawItem& item : draw.order) {
        switch (item.kind) {
            case DrawItem::Kind::kText: {
                const DrawText& t = draw.texts[item.index];
                s << "text " << t.x << ' ' << t.y << " font " << int(t.font) << ' ' << rgb(t.color)
                  << (t.opaque ? " on " + rgb(t.background) : std::string()) << " |" << t.text << "|\n";
                break;
            }
            case DrawItem::Kind::kLine: {
                const DrawLine& l = draw.lines[item.index];
                s << "line " << l.x1 << ' ' << l.y1 << ' ' << l.x2 << ' ' << l.y2 << ' ' << rgb(l.color) << '\n';
                break;
            }
            case DrawItem::Kind::kRect: {
                const DrawRect& r = draw.rects[item.index];
                s << "rect " << r.x << ' ' << r.y << ' ' << r.w << ' ' << r.h << ' ' << rgb(r.color) << '\n';
                break;
            }
            case DrawItem::Kind::kPixel: {
                const DrawPixel& p = draw.pixels[item.index];
                s << "pixel " << p.x << ' ' << p.y << ' ' << rgb(p.color) << '\n';
                break;
            }
            case DrawItem::Kind::kImage: {
                const DrawImage& i = draw.images[item.index];
                s << "image " << i.x << ' ' << i.y << ' ' << i.w << ' ' << i.h << ' ' << i.name << '\n';
                break;
            }
            case DrawItem::Kind::kCells: {
                const DrawCells& c = draw.cells[item.index];
                s << "cells " << c.x << ' ' << c.y << ' ' << c.cellW << 'x' << c.cellH << ' ' << c.cols
                  << 'x' << c.rows << '\n';
                for (int row = 0; row < c.rows; ++row) {
                    s << ' ';
                    for (int col = 0; col < c.cols; ++col) {
                        const uint32_t v = c.At(col, row);
                        s << (v == DrawCells::kNoCell ? '-' : v == 0 ? '#' : v == 0xFFFFFF ? '.' : v == 0xFF0000 ? 'r' : '*');
                    }
                    s << '\n';
                }
                break;
            }
        }
    }
    return s.str();
}

void ExpectGolden(const std::string& path, const std::string& actual) {
    if (std::getenv("TRAVIK_BLESS")) {
        std::ofstream(path, std::ios::binary) << actual;
        return;
    }
    // The first line that differs, not two walls of text.
    auto lines = [](const std::string& text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    };
    const std::vector<std::string> want = lines(Slurp(path)), got = lines(actual);
    for (size_t i = 0; i < std::max(want.size(), got.size()); ++i) {
        const std::string a = i < want.size() ? want[i] : "(end)", b = i < got.size() ? got[i] : "(end)";
        if (a != b) {
            ADD_FAILURE() << path << ":" << i + 1 << "\n  expected: " << a << "\n  actual:   " << b;
            return;
        }
    }
}
