#include "debugger/WarningsLog.h"

WarningsLog::Change WarningsLog::Add(std::string_view line) {
    const bool cleared = line.empty();
    if (cleared) text_.clear();
    if (text_.size() >= kCapacity) return Change::kDropped;
    text_.append(line);
    text_.append("\r\n");
    return cleared ? Change::kClearedAndAppended : Change::kAppended;
}
