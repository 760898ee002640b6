// The display options as the document reads them from the settings store and writes
// them back.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

#include "document/CTravikDoc.h"
#include "support/TestSupport.h"

namespace {

int Stored(RecordingFrame& frame, const settings::Key& key) {
    return frame.settings.GetProfileInt(settings::kSection, key.name, INT_MIN);
}
void Store(RecordingFrame& frame, const settings::Key& key, int value) {
    frame.settings.WriteProfileInt(settings::kSection, key.name, value);
}

TEST(DisplayOptions, StoredValuesAndTheReadRules) {
    RecordingFrame frame;
    Store(frame, settings::kBaseAddress, 5);
    Store(frame, settings::kViewBitmap, 20);
    Store(frame, settings::kLowerCase, 7);
    Store(frame, settings::kViewHex, 0);
    Store(frame, settings::kViewAscii, -3);
    Store(frame, settings::kViewJumps, 0);
    Store(frame, settings::kViewSystemStrings, 0);
    CTravikDoc doc(frame);
    // Base address and bitmap are taken as stored; the others become 0 or 1.
    EXPECT_EQ(doc.Options().baseAddress, 5u);
    EXPECT_EQ(doc.Options().bitmapWidth, 20);
    EXPECT_EQ(doc.Options().lowerCase, 1u);
    EXPECT_EQ(doc.Options().viewHex, 0u);
    EXPECT_EQ(doc.Options().viewAscii, 1u);
    EXPECT_EQ(doc.Options().viewJumps, 0u);
    EXPECT_EQ(doc.Options().viewSystemStrings, 0u);
}

TEST(DisplayOptions, TogglesFlipAndWriteBack) {
    RecordingFrame frame;
    CTravikDoc doc(frame);
    struct Flag {
        void (CTravikDoc::*toggle)();
        uint32_t DisplayOptions::*field;
        const settings::Key& key;
    };
    const Flag flags[] = {
        {&CTravikDoc::ToggleLowerCase, &DisplayOptions::lowerCase, settings::kLowerCase},
        {&CTravikDoc::ToggleViewJumps, &DisplayOptions::viewJumps, settings::kViewJumps},
        {&CTravikDoc::ToggleViewHex, &DisplayOptions::viewHex, settings::kViewHex},
        {&CTravikDoc::ToggleViewAscii, &DisplayOptions::viewAscii, settings::kViewAscii},
        {&CTravikDoc::ToggleViewSystemStrings, &DisplayOptions::viewSystemStrings,
         settings::kViewSystemStrings},
    };
    for (const Flag& f : flags) {
        const uint32_t before = doc.Options().*f.field;
        (doc.*f.toggle)();
        EXPECT_EQ(doc.Options().*f.field, 1 - before) << f.key.name;
        EXPECT_EQ(Stored(frame, f.key), static_cast<int>(1 - before)) << f.key.name;
        (doc.*f.toggle)();
        EXPECT_EQ(doc.Options().*f.field, before) << f.key.name;
        EXPECT_EQ(Stored(frame, f.key), static_cast<int>(before)) << f.key.name;
    }
    // A new document reads what the toggles left.
    doc.ToggleViewHex();
    CTravikDoc next(frame);
    EXPECT_EQ(next.Options().viewHex, 0u);
}

TEST(DisplayOptions, BaseAndBitmapTogglesKeepTheirValues) {
    RecordingFrame frame;
    Store(frame, settings::kBaseAddress, 5);
    CTravikDoc doc(frame);
    doc.ToggleBaseAddress();
    EXPECT_EQ(Stored(frame, settings::kBaseAddress), 0);
    doc.ToggleBaseAddress();
    EXPECT_EQ(doc.Options().baseAddress, 0x200000u);
    EXPECT_EQ(Stored(frame, settings::kBaseAddress), 0x200000);
    doc.ToggleViewBitmap();
    EXPECT_EQ(doc.Options().bitmapWidth, 7);
    doc.SetBitmapWidth(20);
    EXPECT_EQ(Stored(frame, settings::kViewBitmap), 20);
    doc.ToggleViewBitmap();
    EXPECT_EQ(Stored(frame, settings::kViewBitmap), -20);
    doc.ToggleViewBitmap();
    EXPECT_EQ(doc.Options().bitmapWidth, 20);
    // Drags are clamped to 5..84; a hidden column ignores them.
    doc.SetBitmapWidth(1);
    EXPECT_EQ(doc.Options().bitmapWidth, 5);
    doc.SetBitmapWidth(500);
    EXPECT_EQ(Stored(frame, settings::kViewBitmap), 84);
    doc.ToggleViewBitmap();
    doc.SetBitmapWidth(30);
    EXPECT_EQ(doc.Options().bitmapWidth, -84);
    EXPECT_EQ(Stored(frame, settings::kViewBitmap), -84);
}

}  // namespace
