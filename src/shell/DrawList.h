#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What a paint produces: primitives in the window's (or the page's) coordinates, in
// the order they are drawn. Every paint of the program is a pure function from state
// to a DrawList; the Qt side only renders it, so positions, colours and texts are
// decided (and tested) here.

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kRed{255, 0, 0};

// The fonts a paint may name. Heights are pixel heights of the character cell without
// internal leading; "Courier New" and "Arial" are the families.
enum class FontId : uint8_t {
    kListing,       // "Courier New" 15
    kNote,          // "Arial" 13; also the editors' font
    kHeader,        // "Arial" 15 bold
    kFooter,        // "Arial" 11
    kPrintListing,  // "Courier New" 20
    kPrintNote,     // "Arial" 17
    kPrintHeader,   // "Arial" 20 bold
    kPrintFooter,   // "Arial" 14
    kMemory,        // "Courier New" 12: the memory dump
};

struct FontFace {
    const char* family;
    int pixelHeight;
    bool bold;
};

inline constexpr FontFace FontFaceOf(FontId id) {
    switch (id) {
        case FontId::kListing:
            return {"Courier New", 15, false};
        case FontId::kNote:
            return {"Arial", 13, false};
        case FontId::kHeader:
            return {"Arial", 15, true};
        case FontId::kFooter:
            return {"Arial", 11, false};
        case FontId::kPrintListing:
            return {"Courier New", 20, false};
        case FontId::kPrintNote:
            return {"Arial", 17, false};
        case FontId::kPrintHeader:
            return {"Arial", 20, true};
        case FontId::kPrintFooter:
            return {"Arial", 14, false};
        case FontId::kMemory:
            return {"Courier New", 12, false};
    }
    return {"Courier New", 15, false};
}

struct DrawText {
    int x = 0, y = 0;  // top-left of the text cell
    FontId font = FontId::kListing;
    Rgb color{};
    bool opaque = false;  // fill the text's own cells with `background` first
    Rgb background{255, 255, 255};
    std::string text;  // 8-bit text in the system code page (Latin-1)
};

// A one-pixel line from (x1, y1) to (x2, y2), both ends drawn.
struct DrawLine {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    Rgb color{};
};

// A filled rectangle from (x, y), w by h pixels.
struct DrawRect {
    int x = 0, y = 0, w = 0, h = 0;
    Rgb color{};
};

struct DrawPixel {
    int x = 0, y = 0;
    Rgb color{};
};

// An image by name (a resource the renderer knows), stretched over the rectangle.
struct DrawImage {
    int x = 0, y = 0, w = 0, h = 0;
    std::string name;
};

// A grid of equal filled cells, `cols` by `rows`, each cellW by cellH pixels, from
// (x, y) to the right and down. Colours are 0xRRGGBB row by row; kNoCell leaves a cell
// unpainted. One primitive for thousands of same-size squares (the listing's bitmap).
struct DrawCells {
    static constexpr uint32_t kNoCell = 0xFF000000u;
    int x = 0, y = 0, cellW = 0, cellH = 0, cols = 0, rows = 0;
    std::vector<uint32_t> colors;

    uint32_t At(int col, int row) const { return colors[size_t(row) * size_t(cols) + size_t(col)]; }
};

inline constexpr uint32_t PackRgb(Rgb c) {
    return (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b;
}

struct DrawItem {
    enum class Kind : uint8_t { kText, kLine, kRect, kPixel, kImage, kCells };
    Kind kind;
    uint32_t index;  // into the list of that kind
};

class DrawList {
  public:
    void Text(DrawText t) { Add(DrawItem::Kind::kText, texts, std::move(t)); }
    void Line(DrawLine l) { Add(DrawItem::Kind::kLine, lines, l); }
    void Rect(DrawRect r) { Add(DrawItem::Kind::kRect, rects, r); }
    void Pixel(DrawPixel p) { Add(DrawItem::Kind::kPixel, pixels, p); }
    void Image(DrawImage i) { Add(DrawItem::Kind::kImage, images, std::move(i)); }
    void Cells(DrawCells c) { Add(DrawItem::Kind::kCells, cells, std::move(c)); }
    void Clear() {
        order.clear();
        texts.clear();
        lines.clear();
        rects.clear();
        pixels.clear();
        images.clear();
        cells.clear();
    }

    // The primitives in drawing order; each kind also in its own list, in order.
    std::vector<DrawItem> order;
    std::vector<DrawText> texts;
    std::vector<DrawLine> lines;
    std::vector<DrawRect> rects;
    std::vector<DrawPixel> pixels;
    std::vector<DrawImage> images;
    std::vector<DrawCells> cells;

  private:
    template <class V, class T>
    void Add(DrawItem::Kind kind, V& list, T&& item) {
        order.push_back({kind, static_cast<uint32_t>(list.size())});
        list.push_back(std::forward<T>(item));
    }
};
