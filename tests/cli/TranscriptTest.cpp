// Runs every transcript in cli/transcripts: a small script of files to lay out in a fresh
// folder and travik-cli commands to run there, each followed by the whole output it must
// give, byte for byte. TRAVIK_BLESS=1 rewrites the expectations from what the program
// gives; read the difference before committing it.
//
//   # text                   a comment
//   file NAME                the bytes up to "end": hex digits in pairs, "quoted text"
//   file NAME text           the lines up to "end", each ended by a newline
//   file NAME = demo         a copy of the demo firmware
//   $ ARGS                   travik-cli ARGS in the folder ("double quotes" keep spaces)
//   @ cat NAME | hex NAME | ls   a file's text (a CR shown as <CR>), its bytes, the folder
//   > LINE   ! LINE          a line of standard output / standard error (">" alone: empty)
//   %                        the output above ends without a newline
//   = N                      the exit status when it is not 0
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

const fs::path kTranscripts = fs::path(TRAVIK_TESTS_DIR) / "cli" / "transcripts";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string Slurp(const fs::path& path) {
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    return {bytes.begin(), bytes.end()};
}

std::vector<std::string> SplitArgs(const std::string& text) {
    std::vector<std::string> args;
    std::string arg;
    bool quoted = false, any = false;
    for (char c : text) {
        if (c == '"') quoted = !quoted, any = true;
        else if (c == ' ' && !quoted) {
            if (any) args.push_back(arg);
            arg.clear(), any = false;
        } else arg += c, any = true;
    }
    if (any) args.push_back(arg);
    return args;
}

// The expectation lines of one output: stdout, stderr, status.
std::string Expectations(const CliResult& r) {
    std::string text;
    auto add = [&](const std::string& out, const char* mark) {
        for (const std::string& line : Lines(out))
            text += mark + (line.empty() ? std::string() : " " + line) + "\n";
        if (!out.empty() && out.back() != '\n') text += "%\n";
    };
    add(r.out, ">");
    add(r.err, "!");
    if (r.status != 0) text += "= " + std::to_string(r.status) + "\n";
    return text;
}

std::string HexDump(const std::string& bytes) {
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        text += "0123456789abcdef"[static_cast<uint8_t>(bytes[i]) >> 4];
        text += "0123456789abcdef"[bytes[i] & 15];
        text += (i % 16 == 15 || i + 1 == bytes.size()) ? '\n' : ' ';
    }
    return text;
}

CliResult Pseudo(const TempDir& dir, const std::vector<std::string>& args) {
    CliResult r{0, {}, {}};
    if (args.size() == 2 && args[0] == "cat") {
        for (char c : Slurp(dir.File(args[1]))) r.out += c == '\r' ? std::string("<CR>") : std::string(1, c);
    } else if (args.size() == 2 && args[0] == "hex") {
        r.out = HexDump(Slurp(dir.File(args[1])));
    } else if (args.size() == 1 && args[0] == "ls") {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir.Path())) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        for (const auto& n : names) r.out += n + "\n";
    } else {
        ADD_FAILURE() << "unknown pseudo command";
    }
    return r;
}

// Hex groups, big-endian as written, and "quoted text" as its bytes.
std::vector<uint8_t> HexBytes(const std::string& text) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') {
            while (++i < text.size() && text[i] != '"') bytes.push_back(static_cast<uint8_t>(text[i]));
        } else if (std::isxdigit(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
            bytes.push_back(static_cast<uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
            ++i;
        }
    }
    return bytes;
}

class Transcript : public ::testing::TestWithParam<std::string> {};

TEST_P(Transcript, GivesTheRecordedOutput) {
    const fs::path path = kTranscripts / (GetParam() + ".txt");
    const std::vector<std::string> lines = Lines(Slurp(path));
    TempDir dir;
    std::string rewritten, expected, actual, command;
    auto finish = [&] {
        if (command.empty()) return;
        EXPECT_EQ(expected, actual) << path.filename() << ": " << command;
        rewritten += actual;
        expected.clear(), actual.clear(), command.clear();
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const char mark = line.empty() ? ' ' : line[0];
        if (mark == '>' || mark == '!' || mark == '=' || mark == '%') {
            expected += line + "\n";
            continue;
        }
        finish();
        rewritten += line + "\n";
        if (line.rfind("file ", 0) == 0) {
            const std::vector<std::string> words = SplitArgs(line.substr(5));
            if (words.size() == 3 && words[1] == "=" && words[2] == "demo") {
                fs::copy_file(TRAVIK_DEMO_FLS, dir.File(words[0]));
                continue;
            }
            std::string body;
            while (++i < lines.size() && lines[i] != "end") {
                body += lines[i] + "\n";
                rewritten += lines[i] + "\n";
            }
            rewritten += "end\n";
            if (words.size() == 2 && words[1] == "text") WriteFile(dir.File(words[0]), body);
            else WriteFile(dir.File(words[0]), HexBytes(body));
        } else if (mark == '$' || mark == '@') {
            command = line;
            std::vector<std::string> args = SplitArgs(line.substr(1));
            actual = Expectations(mark == '@' ? Pseudo(dir, args) : RunCli(args, dir.Path()));
        } else if (mark != '#' && mark != ' ') {
            ADD_FAILURE() << path.filename() << ": cannot read line " << i + 1 << ": " << line;
        }
    }
    finish();
    if (std::getenv("TRAVIK_BLESS")) std::ofstream(path, std::ios::binary) << rewritten;
}

std::vector<std::string> TranscriptNames() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(kTranscripts))
        if (e.path().extension() == ".txt") names.push_back(e.path().stem());
    std::sort(names.begin(), names.end());
    return names;
}

INSTANTIATE_TEST_SUITE_P(Cli, Transcript, ::testing::ValuesIn(TranscriptNames()),
                         [](const auto& info) { return info.param; });

}  // namespace
