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
        std::vector<uint8_t> image = Halfwords(code);
        image.resize(0x400, 0);
        doc = OpenBytes(frame, dir.File("t.fls"), image);
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

// A paint as text: every primitive in drawing order with its place and colours (black
// texts only in the lines below), colour cells as rows of letters with their legend
// ('.' no cell), then the lines a screen reader gets (TextLines with `charWidth`) with
// their top edges.
inline std::string DumpPaint(const DrawList& d, int charWidth) {
    std::ostringstream out;
    auto rgb = [](Rgb c) {
        char s[8];
        std::snprintf(s, sizeof s, "%02x%02x%02x", c.r, c.g, c.b);
        return std::string(s);
    };
    for (const DrawItem& item : d.order) {
        using K = DrawItem::Kind;
        switch (item.kind) {
            case K::kText: {
                const DrawText& t = d.texts[item.index];
                if (t.color == kBlack && !t.opaque) break;
                out << "text " << t.x << "," << t.y << " font " << int(t.font) << " "
                    << rgb(t.color) << (t.opaque ? " on " + rgb(t.background) : "") << " \""
                    << t.text << "\"\n";
                break;
            }
            case K::kLine: {
                const DrawLine& l = d.lines[item.index];
                out << "line " << l.x1 << "," << l.y1 << " " << l.x2 << "," << l.y2 << " "
                    << rgb(l.color) << "\n";
                break;
            }
            case K::kRect: {
                const DrawRect& r = d.rects[item.index];
                out << "rect " << r.x << "," << r.y << " " << r.w << "x" << r.h << " "
                    << rgb(r.color) << "\n";
                break;
            }
            case K::kCells: {
                const DrawCells& c = d.cells[item.index];
                out << "cells " << c.x << "," << c.y << " " << c.cellW << "x" << c.cellH << "\n";
                std::map<uint32_t, char> letters;
                for (int row = 0; row < c.rows; ++row) {
                    out << "  ";
                    for (int col = 0; col < c.cols; ++col) {
                        const uint32_t v = c.At(col, row);
                        if (v == DrawCells::kNoCell) {
                            out << '.';
                            continue;
                        }
                        if (!letters.count(v)) letters.emplace(v, char('a' + letters.size()));
                        out << letters[v];
                    }
                    out << "\n";
                }
                for (const auto& [v, letter] : letters)
                    out << "  " << letter << " = " << std::hex << (v & 0xFFFFFF) << std::dec
                        << "\n";
                break;
            }
            default:
                out << "other primitive\n";
                break;
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
