#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/Commands.h"

void CliFrame::ShowMessage(const std::string& text) {
    ++messagesShown;
    std::string shown;
    shown.reserve(text.size() + 1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        shown += text[i];
    }
    std::fprintf(stderr, "%s\n", shown.c_str());
}

void CliFrame::ShowNotice(const std::string& text) {
    std::fputs("note: ", stderr);
    ShowMessage(text);
}

bool CliFrame::AskYesNo(const std::string& text) {
    ShowMessage(text);
    return false;
}

bool AnsweringFrame::AskYesNo(const std::string& text) {
    std::string shown;
    shown.reserve(text.size() + 1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        // Line breaks as the box breaks them; other control characters escaped.
        shown.push_back(text[i] == '\n' ? '\0' : text[i]);
    }
    shown.push_back('\0');
    WriteEscaped(shown);
    std::printf("answer: %s\n", answer ? "yes" : "no");
    return answer;
}

std::unique_ptr<CTravikDoc> OpenForCli(CliFrame& frame, const std::string& path, bool recover) {
    auto doc = std::make_unique<CTravikDoc>(frame);
    doc->SetKeepJournal(recover);
    // No command uses the side file's breakpoints and watchpoints (run --run takes only
    // those of its command line), so it is neither read nor ever written here.
    doc->SetLoadDebugMarks(false);
    if (!doc->OnOpenDocument(path)) {
        // The program's own failure message when the document had none to show.
        if (frame.messagesShown == 0) {
            const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) ::close(fd);
            PrintFileError("Cannot open file", path, fd < 0 ? errno : 0);
        }
        return nullptr;
    }
    switch (doc->GetInfoState()) {
        case CTravikDoc::InfoState::kUnreadable:
            return nullptr;
        case CTravikDoc::InfoState::kRamNamesDamaged:
            std::fprintf(stderr, "warning: %s\n", doc->InfoProblem().c_str());
            break;
        default:
            break;
    }
    frame.document = doc.get();
    return doc;
}

void PrintFileError(const char* text, const std::string& path, int error) {
    // Without a system error the file exists but is not something we can open.
    const char* reason = error != 0 ? std::strerror(error) : "not a regular file";
    std::fprintf(stderr, "%s: %s: %s\n", text, path.c_str(), reason);
}

bool WriteEscaped(std::string_view text) {
    char out[8192];
    size_t n = 0;
    for (const char c : text) {
        if (n + 4 > sizeof out) {
            if (std::fwrite(out, 1, n, stdout) != n) return false;
            n = 0;
        }
        const auto u = static_cast<unsigned char>(c);
        if (u == 0) {
            out[n++] = '\n';
        } else if (u < 0x20 || u == 0x7F) {
            out[n++] = '\\';
            out[n++] = 'x';
            out[n++] = "0123456789abcdef"[u >> 4];
            out[n++] = "0123456789abcdef"[u & 15];
        } else {
            out[n++] = c;
        }
    }
    return std::fwrite(out, 1, n, stdout) == n;
}

bool WantsHelp(const std::vector<std::string>& args) {
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") return true;
    }
    return false;
}

void PrintHelp(const CommandInfo& command) {
    std::printf("usage: travik-cli %s %s\n\n%s\n", command.name, command.synopsis,
                command.description);
}

std::optional<uint32_t> ParseHex(const std::string& text) {
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits = digits.substr(2);
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    for (char c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    }
    return static_cast<uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
}

std::optional<uint64_t> ParseDecimal(const std::string& text) {
    if (text.empty() || text.size() > 19) return std::nullopt;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
    }
    return std::strtoull(text.c_str(), nullptr, 10);
}

int UsageError(const char* command) {
    for (size_t i = 0; i < kCommandCount; ++i) {
        if (std::strcmp(kCommands[i].name, command) == 0)
            std::fprintf(stderr, "usage: travik-cli %s %s\n", command, kCommands[i].synopsis);
    }
    std::fprintf(stderr, "'travik-cli %s --help' says more.\n", command);
    return kExitUsage;
}
