#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

// A text (a routine header, a RAM name) as a symbol name: every character other than an
// ASCII letter, digit or '_' becomes one '_' (a UTF-8 sequence counts as one character).
std::string SymbolNameFor(std::string_view text);

// Hands out each name once: a name asked for again gets "_2", "_3", ... (the first
// suffix not yet given).
class UniqueNames {
  public:
    std::string Take(std::string name);

  private:
    std::unordered_set<std::string> given_;
    std::unordered_map<std::string, unsigned> nextSuffix_;
};
