#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "listing/BranchArrows.h"
#include "shell/DrawList.h"

class CTravikDoc;

// Printed pages of the listing: the document's selection as one or more side-by-side
// columns of listing lines with their annotations, branch arrows and bitmap.
//
// Page coordinates are tenths of a millimetre with y growing upward: the origin is the
// top-left corner of the printer's printable area, so everything on a page lies at
// y <= 0. In a page's DrawList, texts and cells hang down from their (x, y) corner as
// they do on paper, while rectangles, pixels and images rise from their (x, y);
// ToTopDown turns a page into the y-down order a painter uses.

// The printable area: left = top = 0, right > 0, bottom < 0.
struct PrintRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

inline constexpr int kPrintLineHeight = 20;
inline constexpr int kPrintTextX = 110;        // from the column's left edge
inline constexpr int kPrintAnnotationX = 620;  // from the column's left edge
inline constexpr int kPrintMaxLines = 500;     // per column
inline constexpr int kPrintMinColumns = 1;
inline constexpr int kPrintMaxColumns = 10;
inline constexpr const char* kPrintNoFile = "No File loaded";
inline constexpr const char* kPrintNoArea = "No Print Area Selected";

// How wide a text is in a print font, in tenths of a millimetre: the renderer's own
// measure, so that the cut texts fit as they are drawn. Without one, every character
// is taken as wide as a character of the listing font (0.6 of its height).
using PrintTextWidth = std::function<double(FontId, std::string_view)>;

// How many leading characters of `text` are at most `room` wide together.
size_t FitPrintText(std::string_view text, FontId font, int room, const PrintTextWidth& width);

// One print job over a document: the page start, next start and last page that carry
// the listing from page to page. A printer asks Continues(p) and then PrintPage(p) for
// p = 1, 2, ... until Continues says no.
class PrintJob {
  public:
    // `columns` outside 1..10 (a hand-edited setting) is taken as the nearest limit.
    // Every text is cut at its column's right edge as `width` measures it.
    PrintJob(const CTravikDoc& doc, int columns, PrintRect page, PrintTextWidth width = {});

    // Starts the job at the selection's first line.
    void Begin();
    // Whether page `page` is printed: not once the listing has ended on an earlier page.
    bool Continues(int page) const;
    // Draws page `page` into `out` (cleared first) and moves the job on.
    void PrintPage(int page, DrawList& out);

    int32_t pageStart = -1;  // image offset the page being printed begins at
    int32_t nextStart = -1;  // offset after the last line printed, -1 once past the end
    int32_t lastPage = 1;

    // What the latest page held, column by column (for tests and the batch tool).
    struct Line {
        int64_t offset;
        int subLine;
        int y;
    };
    struct Column {
        int left, right;
        int64_t start;   // the column's first offset
        int64_t resume;  // where the next column starts, -1 at the end of the selection
        std::vector<Line> lines;
    };
    const std::vector<Column>& Columns() const { return columns_; }

  private:
    void PrintColumn(Column& column, DrawList& out);
    void DrawBitmap(const Column& column, DrawList& out) const;
    void ColumnText(const Column& column, int x, int y, FontId font, std::string_view text,
                    DrawList& out) const;

    const CTravikDoc& doc_;
    int columnCount_;
    PrintRect page_;
    PrintTextWidth width_;
    int64_t areaStart_ = -1;  // the selection's first item, -1 when it holds no line
    std::vector<Column> columns_;
    BranchArrows arrows_;
};

// Runs a whole job, handing each page's drawing to `sink` with its number (from 1);
// stops early when the sink returns false. The number of pages printed.
int PrintPages(const CTravikDoc& doc, int columns, PrintRect page,
               const std::function<bool(int, const DrawList&)>& sink,
               const PrintTextWidth& width = {});

// The number of pages the document's selection prints to.
int CountPrintPages(const CTravikDoc& doc, int columns, PrintRect page);

// The page with y turned downward (y' = -y), every primitive keeping its look: what a
// painter with an ordinary (unmirrored) scale from tenths of a millimetre draws.
DrawList ToTopDown(const DrawList& page);
