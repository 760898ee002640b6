#pragma once

#include <string>
#include <vector>

#include "shell/DrawList.h"

// The texts of a paint as lines of characters, top to bottom: texts that share a top
// edge form one line, each placed at the column (x - left) / charWidth, gaps filled
// with blanks. What a window of fixed-pitch texts gives to assistive technology.
std::vector<std::string> TextLines(const DrawList& list, int left, int charWidth);
