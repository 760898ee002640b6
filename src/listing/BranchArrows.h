#pragma once

#include <cstdint>
#include <vector>

#include "shell/DrawList.h"

class CTravikDoc;

// Where a column's branch arrows go. The arrow of the column's line k stands at
// y = firstY + k * lineStep (lineStep is negative where y grows upward); an arrow whose
// target lies above or below the column runs to topY or bottomY.
struct ArrowColumn {
    int left;  // the column's left edge
    int firstY;
    int lineStep;
    int topY;
    int bottomY;
};

// The branch arrows beside a column of listing lines, as the listing window paints them
// and as a printed page shows them: which branches get one, the lane each takes and how
// it is drawn. Kept between columns so that its storage is reused.
class BranchArrows {
  public:
    // Starts a column: branches `maxDistance` bytes or farther from their target get no
    // arrow, nor does any while the document hides jumps.
    void Begin(const CTravikDoc& doc, int64_t maxDistance);
    // The column's lines, top to bottom, in listing order.
    void AddLine(int64_t offset, int subLine);
    // Draws the arrows: the nearest branches first, each in a lane one further out than
    // the outermost lane already taken over any line it spans.
    void Draw(const ArrowColumn& column, DrawList& out);

  private:
    struct Arrow {
        int sourceLine;
        int64_t target;
        int64_t distance;
        int lane;
        int low, high;   // the lines its bracket spans
        int targetLine;  // -1 above the column, -2 below it
    };
    bool Span(Arrow& a) const;

    const CTravikDoc* doc_ = nullptr;
    int64_t maxDistance_ = 0;
    std::vector<int64_t> itemOffsets_;  // per line: its item's offset, -1 for other lines
    int64_t firstOffset_ = 0, lastOffset_ = 0;
    std::vector<Arrow> arrows_;  // by distance; equal distances in line order
    std::vector<int> occupancy_;
};
