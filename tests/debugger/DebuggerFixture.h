#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "support/TestDoc.h"
#include "document/CTravikDoc.h"
#include "shell/DrawList.h"
#include "support/TestSupport.h"

// A document of a small flash image that starts with the given THUMB halfwords; it is
// the frame's first document. The emulator's warnings are collected.
class DebuggerTest : public ::testing::Test {
  protected:
    void Open(std::initializer_list<uint16_t> code = {0x2000}) {
        std::vector<uint8_t> image;
        for (uint16_t h : code) PutHalf(image, h);
        image.resize(0x400, 0);
        WriteFile(dir.File("t.fls"), image);
        doc = OpenImage(frame, dir.File("t.fls"));
        ASSERT_NE(doc, nullptr);
        frame.firstDocument = doc.get();
        TestDoc::Emulator(*doc).warningSink = [this](const std::string& s) { warnings.push_back(s); };
    }
    void Start() {
        TestDoc::Emulator(*doc).Start(CEmulator::kFlashBase, doc->Image(), doc->ImageSize(),
                            doc->EmulatorRam(), CEmulator::kInitialStackPointer);
        warnings.clear();
    }
    void Step() {
        TestDoc::Emulator(*doc).SaveSnapshot();
        TestDoc::Emulator(*doc).Step();
    }

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
