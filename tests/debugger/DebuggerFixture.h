#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "debugger/TextLines.h"
#include "document/CTravikDoc.h"
#include "shell/DrawList.h"
#include "support/TestDoc.h"
#include "support/TestSupport.h"

// A document of a small flash image that starts with the given THUMB halfwords; it is
// the frame's first document. The emulator's warnings are collected.
class DebuggerTest : public ::testing::Test {
  protected:
    void Open(std::initializer_list<uint16_t> code = {0x2000}) {
        std::vector<uint8_t> image = ImageOfHalfwords(code);
        image.resize(0x400, 0);
        doc = OpenImageBytes(frame, dir.File("t.fls"), image);
        ASSERT_NE(doc, nullptr);
        frame.firstDocument = doc.get();
        emu().warningSink = [this](const std::string& s) { warnings.push_back(s); };
    }
    void Start() {
        emu().Start(CEmulator::kFlashBase, doc->Image(), doc->ImageSize(), doc->EmulatorRam(),
                    CEmulator::kInitialStackPointer);
        warnings.clear();
    }
    CEmulator& emu() { return TestDoc::Emulator(*doc); }

    TempDir dir;
    RecordingFrame frame;
    std::unique_ptr<CTravikDoc> doc;
    std::vector<std::string> warnings;
};

// The drawn text at (x, y), or nullptr.
inline const DrawText* TextAt(const DrawList& list, int x, int y) {
    for (const DrawText& t : list.texts)
        if (t.x == x && t.y == y) return &t;
    return nullptr;
}

// A paint as text: the non-black texts, the rectangles and the colour cells (rows of
// letters with their legend, '.' no cell) in drawing order, then the lines a screen
// reader gets (TextLines with `charWidth`) with their top edges.
inline std::string DumpPaint(const DrawList& d, int charWidth) {
    std::ostringstream out;
    auto hex = [](uint32_t v) {
        char s[8];
        std::snprintf(s, sizeof s, "%06x", v & 0xFFFFFF);
        return std::string(s);
    };
    auto rgb = [&](Rgb c) { return hex(PackRgb(c)); };
    for (const DrawItem& item : d.order) {
        if (item.kind == DrawItem::Kind::kText) {
            const DrawText& t = d.texts[item.index];
            if (t.color != kBlack || t.opaque)
                out << "text " << t.x << "," << t.y << " " << rgb(t.color) << " on "
                    << (t.opaque ? rgb(t.background) : "-") << " " << t.text << "\n";
        } else if (item.kind == DrawItem::Kind::kRect) {
            const DrawRect& r = d.rects[item.index];
            out << "rect " << r.x << "," << r.y << " " << r.w << "x" << r.h << " " << rgb(r.color)
                << "\n";
        } else if (item.kind == DrawItem::Kind::kCells) {
            const DrawCells& c = d.cells[item.index];
            out << "cells " << c.x << "," << c.y << " " << c.cellW << "x" << c.cellH;
            std::map<uint32_t, char> letters{{DrawCells::kNoCell, '.'}};
            for (size_t i = 0; i < c.colors.size(); ++i) {
                const auto at = letters.emplace(c.colors[i], char('a' + letters.size() - 1)).first;
                out << (i % size_t(c.cols) ? "" : "\n  ") << at->second;
            }
            for (const auto& [v, letter] : letters)
                if (letter != '.') out << "\n  " << letter << " = " << hex(v);
            out << "\n";
        } else {
            out << "other primitive\n";
        }
    }
    std::set<int> tops;
    for (const DrawText& t : d.texts)
        if (!t.text.empty()) tops.insert(t.y);
    auto top = tops.begin();
    out << "screen reader:\n";
    for (const std::string& line : TextLines(d, 10, charWidth))
        out << (top != tops.end() ? *top++ : -1) << ": " << line << "\n";
    return out.str();
}

// Compares a paint with debugger/paints/NAME.txt; TRAVIK_BLESS=1 writes the file from
// the paint instead (read the difference before committing it).
inline void ExpectPaint(const std::string& name, const DrawList& d, int charWidth) {
    const std::string path = std::string(TRAVIK_TESTS_DIR) + "/debugger/paints/" + name + ".txt";
    const std::string actual = DumpPaint(d, charWidth);
    if (std::getenv("TRAVIK_BLESS")) {
        std::ofstream(path, std::ios::binary) << actual;
        return;
    }
    std::ifstream in(path, std::ios::binary);
    const std::string expected{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(expected, actual) << name;
}
