#pragma once

#include <cstdint>

class SettingsStore;

// How the listing shows a document. A new document reads them from the settings store;
// the view toggles write them back there.
struct DisplayOptions {
    uint32_t viewJumps = 1;
    uint32_t viewHex = 1;
    uint32_t viewAscii = 1;
    int32_t bitmapWidth = -7;  // the bitmap's width in pixels; shown when above 0
    uint32_t viewSystemStrings = 1;
    uint32_t baseAddress = 0;  // added to image offsets in what the listing shows
    uint32_t lowerCase = 0;
    uint32_t gnuSyntax = 0;  // instruction texts as the GNU tools write them

    static DisplayOptions Read(SettingsStore& store);
};
