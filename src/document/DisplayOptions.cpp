#include "document/DisplayOptions.h"

#include <algorithm>
#include <climits>

#include "document/CTravikDoc.h"
#include "shell/FrameServices.h"
#include "shell/SettingsStore.h"

DisplayOptions DisplayOptions::Read(SettingsStore& store) {
    auto flag = [&](const settings::Key& key) -> uint32_t {
        return settings::Read(store, key) != 0 ? 1 : 0;
    };
    DisplayOptions o;
    o.baseAddress = static_cast<uint32_t>(settings::Read(store, settings::kBaseAddress));
    o.lowerCase = flag(settings::kLowerCase);
    o.viewJumps = flag(settings::kViewJumps);
    o.viewHex = flag(settings::kViewHex);
    o.viewAscii = flag(settings::kViewAscii);
    o.bitmapWidth = settings::Read(store, settings::kViewBitmap);
    o.viewSystemStrings = flag(settings::kViewSystemStrings);
    o.gnuSyntax = flag(settings::kGnuSyntax);
    return o;
}

namespace {
// Turns a 0/1 option over; the new value, as the settings store it.
int Flip(uint32_t& option) {
    option = 1 - option;
    return static_cast<int>(option);
}
}  // namespace

void CTravikDoc::WriteOption(const char* key, int value) {
    frame_.Settings().WriteProfileInt(settings::kSection, key, value);
}

void CTravikDoc::ToggleBaseAddress() {
    options_.baseAddress = options_.baseAddress != 0 ? 0 : kFlashBase;
    WriteOption(settings::kBaseAddress.name, static_cast<int>(options_.baseAddress));
    RebuildJumpList();
}

void CTravikDoc::ToggleLowerCase() {
    WriteOption(settings::kLowerCase.name, Flip(options_.lowerCase));
}

void CTravikDoc::ToggleViewJumps() {
    WriteOption(settings::kViewJumps.name, Flip(options_.viewJumps));
}

void CTravikDoc::ToggleViewHex() {
    WriteOption(settings::kViewHex.name, Flip(options_.viewHex));
}

void CTravikDoc::ToggleViewAscii() {
    WriteOption(settings::kViewAscii.name, Flip(options_.viewAscii));
}

void CTravikDoc::ToggleViewBitmap() {
    // The width is kept, only the sign flips (a stored INT_MIN has no opposite).
    options_.bitmapWidth = options_.bitmapWidth == INT_MIN ? INT_MAX : -options_.bitmapWidth;
    WriteOption(settings::kViewBitmap.name, options_.bitmapWidth);
}

void CTravikDoc::ToggleViewSystemStrings() {
    WriteOption(settings::kViewSystemStrings.name, Flip(options_.viewSystemStrings));
}

void CTravikDoc::ToggleGnuSyntax() {
    WriteOption(settings::kGnuSyntax.name, Flip(options_.gnuSyntax));
}

void CTravikDoc::SetBitmapWidth(int width) {
    if (options_.bitmapWidth < 1) return;
    options_.bitmapWidth = std::clamp(width, 5, 84);
    WriteOption(settings::kViewBitmap.name, options_.bitmapWidth);
}
