// The display options as the document reads them from the settings store and writes
// them back.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "document/CTravikDoc.h"
#include "support/TestSupport.h"

namespace {

int Stored(RecordingFrame& frame, const settings::Key& key) {
    return frame.settings.GetProfileInt(settings::kSection, key.name, INT_MIN);
}

TEST(DisplayOptions, ReadRulesTogglesAndTheBitmapWidth) {
    RecordingFrame frame;
    for (const auto& [key, value] : {std::pair{&settings::kBaseAddress, 5}, {&settings::kViewBitmap, 20},
                                     {&settings::kLowerCase, 7}, {&settings::kViewHex, 0},
                                     {&settings::kViewAscii, -3}, {&settings::kViewJumps, 0},
                                     {&settings::kViewSystemStrings, 0}, {&settings::kGnuSyntax, 3}})
        frame.settings.WriteProfileInt(settings::kSection, key->name, value);
    CTravikDoc doc(frame);
    // Base address and bitmap are taken as stored; the others become 0 or 1.
    const DisplayOptions& o = doc.Options();
    EXPECT_EQ((std::vector<int64_t>{o.baseAddress, o.bitmapWidth, o.lowerCase, o.viewHex, o.viewAscii,
                                    o.viewJumps, o.viewSystemStrings, o.gnuSyntax}),
              (std::vector<int64_t>{5, 20, 1, 0, 1, 0, 0, 1}));
    // Each toggle flips its option and writes it back.
    const std::pair<void (CTravikDoc::*)(), const settings::Key*> toggles[] = {
        {&CTravikDoc::ToggleLowerCase, &settings::kLowerCase},
        {&CTravikDoc::ToggleViewJumps, &settings::kViewJumps},
        {&CTravikDoc::ToggleViewHex, &settings::kViewHex},
        {&CTravikDoc::ToggleViewAscii, &settings::kViewAscii},
        {&CTravikDoc::ToggleViewSystemStrings, &settings::kViewSystemStrings},
        {&CTravikDoc::ToggleGnuSyntax, &settings::kGnuSyntax}};
    for (const auto& [toggle, key] : toggles) (doc.*toggle)();
    EXPECT_EQ((std::vector<int64_t>{o.lowerCase, o.viewJumps, o.viewHex, o.viewAscii, o.viewSystemStrings,
                                    o.gnuSyntax}),
              (std::vector<int64_t>{0, 1, 1, 0, 1, 0}));
    for (const auto& [toggle, key] : toggles)
        EXPECT_EQ(Stored(frame, *key), (key == &settings::kViewJumps || key == &settings::kViewHex ||
                                        key == &settings::kViewSystemStrings)) << key->name;
    EXPECT_EQ(CTravikDoc(frame).Options().viewHex, 1u);  // a new document reads what they left
    doc.ToggleBaseAddress();
    EXPECT_EQ(Stored(frame, settings::kBaseAddress), 0);
    doc.ToggleBaseAddress();
    EXPECT_EQ(Stored(frame, settings::kBaseAddress), 0x200000);
    // The bitmap toggle flips the sign and keeps the width; drags clamp to 5..84 and a
    // hidden column ignores them.
    const std::pair<void (*)(CTravikDoc&), int> bitmap[] = {
        {[](CTravikDoc& d) { d.ToggleViewBitmap(); }, -20}, {[](CTravikDoc& d) { d.ToggleViewBitmap(); }, 20},
        {[](CTravikDoc& d) { d.SetBitmapWidth(1); }, 5},     {[](CTravikDoc& d) { d.SetBitmapWidth(500); }, 84},
        {[](CTravikDoc& d) { d.ToggleViewBitmap(); }, -84},  {[](CTravikDoc& d) { d.SetBitmapWidth(30); }, -84}};
    for (const auto& [step, width] : bitmap) {
        step(doc);
        EXPECT_EQ(o.bitmapWidth, width);
        EXPECT_EQ(Stored(frame, settings::kViewBitmap), width);
    }
}

}  // namespace
