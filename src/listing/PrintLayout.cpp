#include "listing/PrintLayout.h"

#include <algorithm>
#include <string>

#include "document/CTravikDoc.h"
#include "listing/LineText.h"
#include "listing/TextFormat.h"

namespace {

constexpr int kMessageX = 10;
constexpr int kMessageY = -10;
constexpr int kBottomMargin = 40;  // lines stand while y > bottom + 40
constexpr int64_t kMaxBranchDistance = 2000;
constexpr int kBitSize = 5;
constexpr int kBandHeight = 8 * kBitSize;

// The first item that starts at or after `start`, or -1 when the selection holds none.
// A selection made at the listing's first or last line can start at an odd offset or
// before offset 0 (as 0xFFFFFFFF); its lines are the items that start inside it, as
// the listing shows them.
int64_t FirstItemOf(const CTravikDoc& doc) {
    const int64_t size = doc.ImageSize();
    if (size < 2) return -1;
    int64_t o = (int64_t{doc.SelectionStart()} + 1) & ~int64_t{1};
    if (o + 2 <= size) o = doc.NextItemStart(static_cast<uint32_t>(o));
    if (o + 2 > size || o > int64_t{doc.SelectionEnd()}) return -1;
    return o;
}

double MonospacedWidth(FontId font, std::string_view text) {
    return 0.6 * FontFaceOf(font).pixelHeight * static_cast<double>(text.size());
}

}  // namespace

size_t FitPrintText(std::string_view text, FontId font, int room, const PrintTextWidth& width) {
    auto fits = [&](size_t n) {
        const std::string_view start = text.substr(0, n);
        return (width ? width(font, start) : MonospacedWidth(font, start)) <= room;
    };
    if (fits(text.size())) return text.size();
    // Widths grow with the length: the longest start that fits lies in [low, high).
    size_t low = 0, high = text.size();
    while (high - low > 1) {
        const size_t mid = low + (high - low) / 2;
        (fits(mid) ? low : high) = mid;
    }
    return low;
}

PrintJob::PrintJob(const CTravikDoc& doc, int columns, PrintRect page, PrintTextWidth width)
    : doc_(doc),
      columnCount_(std::clamp(columns, kPrintMinColumns, kPrintMaxColumns)),
      page_(page),
      width_(std::move(width)) {}

// A text of a column, cut at the column's right edge so that it never runs into the next
// column or off the printable area.
void PrintJob::ColumnText(const Column& column, int x, int y, FontId font, std::string_view text,
                          DrawList& out) const {
    const int room = column.right - x;
    if (room <= 0) return;
    const size_t n = FitPrintText(text, font, room, width_);
    out.Text({x, y, font, kBlack, true, kWhite, std::string(text.substr(0, n))});
}

void PrintJob::Begin() {
    areaStart_ = FirstItemOf(doc_);
    pageStart = static_cast<int32_t>(areaStart_);
    nextStart = -1;
    lastPage = 1;
}

bool PrintJob::Continues(int page) const {
    return !(page != lastPage && nextStart == -1);
}

void PrintJob::PrintPage(int page, DrawList& out) {
    out.Clear();
    columns_.clear();
    const char* message = nullptr;
    if (doc_.ImageSize() < 2)
        message = kPrintNoFile;
    else if (doc_.SelectionStart() == doc_.SelectionEnd() || areaStart_ < 0)
        message = kPrintNoArea;
    if (message != nullptr) {
        out.Text({kMessageX, kMessageY, FontId::kPrintListing, kBlack, true, kWhite, message});
        pageStart = -1;
        nextStart = -1;
        lastPage = page;
        return;
    }
    if (page > lastPage) pageStart = nextStart;
    const int width = (page_.right - page_.left) / columnCount_;
    int64_t start = pageStart;
    for (int i = 0; i < columnCount_ && start != -1; ++i) {
        Column& column = columns_.emplace_back();
        column.left = page_.left + width * i;
        column.right = column.left + width - 10;
        column.start = start;
        PrintColumn(column, out);
        nextStart = static_cast<int32_t>(column.resume);
        start = column.resume;
    }
    lastPage = page;
}

void PrintJob::PrintColumn(Column& column, DrawList& out) {
    const int64_t end = doc_.SelectionEnd();
    const int left = column.left;

    // Pass 1: the line texts.
    LineBuffer text;
    int64_t o = column.start;
    int s = doc_.FirstSubLine(static_cast<uint32_t>(o));
    bool endOfFile = false;
    for (int y = 0; y > page_.bottom + kBottomMargin && o <= end &&
                    column.lines.size() < size_t{kPrintMaxLines};
         y -= kPrintLineHeight) {
        GetLineText(doc_, o, s, text);
        ColumnText(column, left + kPrintTextX, y, FontId::kPrintListing, text.View(), out);
        column.lines.push_back({o, s, y});
        // "End of File" is the listing's last line: nothing follows it.
        if (s == 2) {
            endOfFile = true;
            break;
        }
        o = doc_.NextLine(o, s);
    }
    // A column that ends inside the selection resumes at the next line's offset. One
    // that got no further than its own first offset (a page too low for its lines)
    // would start every later column at the same place: the job ends there instead.
    column.resume = endOfFile || o > end || o == column.start ? -1 : o;

    // Pass 2: annotations, and the branches whose arrows pass 3 draws.
    arrows_.Begin(doc_, kMaxBranchDistance);
    for (const auto& [offset, subLine, y] : column.lines) {
        const uint32_t index = static_cast<uint32_t>(offset / 2);
        const std::string* note = nullptr;
        FontId font = FontId::kPrintNote;
        if (subLine == -1) {
            note = doc_.Headers().Find(index);
            font = FontId::kPrintHeader;
        } else if (subLine == 1) {
            note = doc_.Footers().Find(index);
            font = FontId::kPrintFooter;
        } else if (subLine == 0) {
            note = doc_.Notes().Find(index);
        }
        if (note != nullptr) ColumnText(column, left + kPrintAnnotationX, y, font, *note, out);
        arrows_.AddLine(offset, subLine);
    }

    // Pass 3: the arrows, with y upward.
    arrows_.Draw({left, -10, -kPrintLineHeight, 0, page_.bottom}, out);
    if (doc_.Options().bitmapWidth > 0) DrawBitmap(column, out);
}

void PrintJob::DrawBitmap(const Column& column, DrawList& out) const {
    // Both strips hang from the top of the printable area: byte row k fills y from
    // -5(k + 1) to -5k and band m from -40(m + 1) to -40m, so nothing is drawn above
    // the area, where a printer cuts it off. Rows stop at the selection's end and at
    // the image's end.
    const int64_t n = doc_.Options().bitmapWidth;
    const int64_t start = column.start;
    const int64_t last = std::min<int64_t>(doc_.SelectionEnd(), int64_t{doc_.ImageSize()} - 1);
    const int right = column.right;
    auto bit = [this](int64_t offset, int b) -> uint32_t {
        if (offset >= int64_t{doc_.ImageSize()}) return DrawCells::kNoCell;
        return PackRgb((doc_.Image()[offset] >> b) & 1 ? kBlack : kWhite);
    };

    DrawCells pages;
    pages.x = static_cast<int>(right - 45 - kBitSize * n);
    pages.y = 0;
    pages.cellW = pages.cellH = kBitSize;
    pages.cols = static_cast<int>(n);
    for (int64_t m = 0; - kBandHeight * (m + 1) > page_.bottom + 5 && start + m * n <= last; ++m) {
        for (int i = 0; i < 8; ++i)  // bit 7 at the top of its band, bit 0 at the bottom
            for (int64_t j = 0; j < n; ++j) pages.colors.push_back(bit(start + m * n + j, 7 - i));
        pages.rows += 8;
    }
    if (pages.rows > 0) out.Cells(std::move(pages));

    DrawCells bytes;
    bytes.x = right - 8 * kBitSize;
    bytes.y = 0;
    bytes.cellW = bytes.cellH = kBitSize;
    bytes.cols = 8;
    for (int64_t k = 0; - kBitSize * (k + 1) > page_.bottom + 5 && start + k <= last; ++k) {
        for (int b = 7; b >= 0; --b) bytes.colors.push_back(bit(start + k, b));  // bit 0 right
        ++bytes.rows;
    }
    if (bytes.rows > 0) out.Cells(std::move(bytes));
}

int PrintPages(const CTravikDoc& doc, int columns, PrintRect page,
               const std::function<bool(int, const DrawList&)>& sink, const PrintTextWidth& width) {
    PrintJob job(doc, columns, page, width);
    job.Begin();
    DrawList draw;
    int printed = 0;
    for (int p = 1; job.Continues(p); ++p) {
        job.PrintPage(p, draw);
        ++printed;
        if (!sink(p, draw)) break;
    }
    return printed;
}

int CountPrintPages(const CTravikDoc& doc, int columns, PrintRect page) {
    return PrintPages(doc, columns, page, [](int, const DrawList&) { return true; });
}

DrawList ToTopDown(const DrawList& page) {
    DrawList out;
    for (const DrawItem& item : page.order) {
        switch (item.kind) {
            case DrawItem::Kind::kText: {
                DrawText t = page.texts[item.index];
                t.y = -t.y;
                out.Text(std::move(t));
                break;
            }
            case DrawItem::Kind::kLine: {
                DrawLine l = page.lines[item.index];
                l.y1 = -l.y1;
                l.y2 = -l.y2;
                out.Line(l);
                break;
            }
            case DrawItem::Kind::kRect: {
                DrawRect r = page.rects[item.index];
                r.y = -(r.y + r.h);
                out.Rect(r);
                break;
            }
            case DrawItem::Kind::kPixel: {
                DrawPixel p = page.pixels[item.index];
                p.y = -(p.y + 1);
                out.Pixel(p);
                break;
            }
            case DrawItem::Kind::kImage: {
                DrawImage i = page.images[item.index];
                i.y = -(i.y + i.h);
                out.Image(std::move(i));
                break;
            }
            case DrawItem::Kind::kCells: {
                DrawCells c = page.cells[item.index];
                c.y = -c.y;
                out.Cells(std::move(c));
                break;
            }
        }
    }
    return out;
}
