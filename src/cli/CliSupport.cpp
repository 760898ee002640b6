#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

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

bool CliFrame::AskYesNo(const std::string& text) {
    ShowMessage(text);
    return false;
}

std::unique_ptr<CTravikDoc> OpenForCli(CliFrame& frame, const std::string& path) {
    auto doc = std::make_unique<CTravikDoc>(frame);
    if (!doc->OnOpenDocument(path)) {
        // The program's own failure message when the document had none to show.
        if (frame.messagesShown == 0) std::fprintf(stderr, "Cannot open %s\n", path.c_str());
        return nullptr;
    }
    frame.document = doc.get();
    return doc;
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

int UsageError(const char* command, const char* synopsis) {
    std::fprintf(stderr, "usage: travik-cli %s %s\n", command, synopsis);
    return kExitUsage;
}
