#include "listing/BranchArrows.h"

#include <algorithm>

#include "document/CTravikDoc.h"
#include "document/Flags.h"

namespace {
constexpr int kArrowRight = 105;   // where arrows leave and reach their lines
constexpr int kArrowMargin = 100;  // lanes grow leftward from here
}  // namespace

void BranchArrows::Begin(const CTravikDoc& doc, int64_t maxDistance) {
    doc_ = &doc;
    maxDistance_ = maxDistance;
    itemOffsets_.clear();
    arrows_.clear();
}

void BranchArrows::AddLine(int64_t offset, int subLine) {
    const int line = static_cast<int>(itemOffsets_.size());
    if (line == 0) firstOffset_ = offset;
    lastOffset_ = offset;
    itemOffsets_.push_back(subLine == 0 ? offset : -1);
    if (subLine != 0 || !doc_->Options().viewJumps) return;
    const uint32_t index = static_cast<uint32_t>(offset / 2);
    if (doc_->JumpKind(index) != jumpkind::kBranch) return;
    const int64_t target = doc_->JumpTarget(index);
    const int64_t distance = target > offset ? target - offset : offset - target;
    if (target == 0 || distance >= maxDistance_) return;
    const auto at = std::upper_bound(arrows_.begin(), arrows_.end(), distance,
                                     [](int64_t d, const Arrow& e) { return d < e.distance; });
    arrows_.insert(at, {line, target, distance, 0, 0, 0, 0});
}

// Sets the lines the arrow's bracket spans and its target's line; false when its
// target has no item line in the column.
bool BranchArrows::Span(Arrow& a) const {
    if (a.target < firstOffset_) {
        a.low = 0;
        a.high = a.sourceLine;
        a.targetLine = -1;
        return true;
    }
    if (a.target >= lastOffset_) {
        a.low = a.sourceLine;
        a.high = static_cast<int>(itemOffsets_.size()) - 1;
        a.targetLine = -2;
        return true;
    }
    const auto it = std::find(itemOffsets_.begin(), itemOffsets_.end(), a.target);
    if (it == itemOffsets_.end()) return false;
    a.targetLine = static_cast<int>(it - itemOffsets_.begin());
    a.low = std::min(a.sourceLine, a.targetLine);
    a.high = std::max(a.sourceLine, a.targetLine);
    return true;
}

void BranchArrows::Draw(const ArrowColumn& column, DrawList& out) {
    if (arrows_.empty()) return;
    occupancy_.assign(itemOffsets_.size(), 0);
    int lanes = 0;
    for (Arrow& a : arrows_) {
        a.lane = 0;
        if (!Span(a)) continue;
        const auto first = occupancy_.begin() + a.low;
        const auto last = occupancy_.begin() + a.high + 1;
        a.lane = 1 + *std::max_element(first, last);
        std::fill(first, last, a.lane);
        lanes = std::max(lanes, a.lane);
    }
    if (lanes == 0) return;
    const float scale = std::min(100.0f / static_cast<float>(lanes), 10.0f);
    const int s = static_cast<int>(scale * 0.3f);
    const int down = column.lineStep > 0 ? 1 : -1;  // from the top into the column
    const int right = column.left + kArrowRight;
    auto line = [&out](int x1, int y1, int x2, int y2) { out.Line({x1, y1, x2, y2, kBlack}); };
    for (const Arrow& a : arrows_) {
        if (a.lane == 0) continue;
        const int x =
            column.left + kArrowMargin - static_cast<int>(static_cast<float>(a.lane) * scale);
        const int y = column.firstY + a.sourceLine * column.lineStep;
        line(right, y, x, y);
        // A head off the column: its wings lie inside, towards the source.
        auto head = [&](int tip, int wings) {
            line(x, y, x, tip);
            line(x, tip, x - s, wings);
            line(x - s, wings, x + s, wings);
            line(x + s, wings, x, tip);
        };
        if (a.targetLine == -1) {
            head(column.topY, column.topY + down * s);
        } else if (a.targetLine == -2) {
            head(column.bottomY, column.bottomY - down * s);
        } else {
            const int t = column.firstY + a.targetLine * column.lineStep;
            line(x, y, x, t);
            line(x, t, right, t);
            line(right, t, right - s, t - s);
            line(right - s, t - s, right - s, t + s);
            line(right - s, t + s, right, t);
        }
    }
}
