#include "debugger/TextLines.h"

#include <algorithm>

std::vector<std::string> TextLines(const DrawList& list, int left, int charWidth) {
    std::vector<const DrawText*> texts;
    texts.reserve(list.texts.size());
    for (const DrawText& t : list.texts)
        if (!t.text.empty()) texts.push_back(&t);
    std::stable_sort(texts.begin(), texts.end(), [](const DrawText* a, const DrawText* b) {
        return a->y != b->y ? a->y < b->y : a->x < b->x;
    });
    std::vector<std::string> lines;
    int lineY = 0;
    for (const DrawText* t : texts) {
        if (lines.empty() || t->y != lineY) {
            lines.emplace_back();
            lineY = t->y;
        }
        std::string& line = lines.back();
        const int column = std::max(0, (t->x - left) / charWidth);
        if (static_cast<int>(line.size()) < column)
            line.append(static_cast<size_t>(column) - line.size(), ' ');
        else if (static_cast<int>(line.size()) > column && line.back() != ' ' &&
                 t->text.front() != ' ')
            line += ' ';  // overlapping texts still read as separate words
        line += t->text;
    }
    for (std::string& line : lines)
        while (!line.empty() && line.back() == ' ') line.pop_back();
    return lines;
}
