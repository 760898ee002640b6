#include "python/ScriptFrame.h"

#include <stdexcept>
#include <string_view>

#include "document/DocumentMessages.h"

void ScriptFrame::ShowMessage(const std::string& text) {
    std::string plain;
    plain.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        plain += text[i];
    }
    messages_.push_back(std::move(plain));
}

void ScriptFrame::ShowNotice(const std::string& text) {
    const std::string_view defaults = docmsg::kNotFoundLoadingDefaults;
    if (text.size() >= defaults.size() && text.ends_with(defaults)) return;
    ShowMessage(text);
}

bool ScriptFrame::AskYesNo(const std::string& text) {
    ShowMessage(text);
    return answer;
}

std::vector<std::string> ScriptFrame::TakeMessages() {
    return std::exchange(messages_, {});
}

CTravikDoc& ScriptDocument::Doc() {
    if (!doc) throw std::runtime_error("the document is closed");
    if (running) throw std::runtime_error("the document's session is running");
    return *doc;
}
