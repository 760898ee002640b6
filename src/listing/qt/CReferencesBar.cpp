#include "listing/qt/CReferencesBar.h"

#include "document/CTravikDoc.h"
#include "listing/References.h"
#include "listing/qt/CTravikView.h"
#include "shell/FrameServices.h"

CReferencesBar::CReferencesBar(QString caption, QWidget* parent)
    : CItemListBar(std::move(caption), true, parent) {
    connect(this, &CItemListBar::itemChosen, this, &CReferencesBar::GoThere);
}

void CReferencesBar::Follow(CTravikView* view) {
    followed_ = view;
    if (!isVisible()) return;
    if (view == nullptr) {
        listed_ = -1;
        Clear();
        return;
    }
    const CTravikDoc& doc = view->GetDocument();
    const int64_t cursor = view->State().cursorOffset;
    if (cursor < 0 || cursor >= doc.ImageSize()) {
        listed_ = -1;
        SetRows(view, {}, 0);
        return;
    }
    const uint32_t item = doc.ItemStart(static_cast<uint32_t>(cursor));
    if (view == View() && item == listed_) return;
    listed_ = item;
    const std::vector<Reference> referrers = ReferencesTo(doc, item);
    const std::vector<uint32_t> callees = CalleesOf(doc, item);
    std::vector<Row> rows;
    rows.reserve(referrers.size() + callees.size() + 1);
    for (const Reference& r : referrers) rows.push_back({r.offset, ReferenceKindName(r.kind), {}});
    if (!callees.empty()) {
        rows.push_back({0, "", QString("Calls from this routine (%1)").arg(callees.size())});
        for (uint32_t callee : callees) rows.push_back({callee, "callee", {}});
    }
    SetRows(view, std::move(rows), referrers.size());
}

void CReferencesBar::showEvent(QShowEvent* event) {
    CItemListBar::showEvent(event);
    listed_ = -1;
    Follow(followed_);
}

void CReferencesBar::GoThere(CTravikView* view, uint32_t offset) {
    CTravikDoc& doc = view->GetDocument();
    doc.Session().PushTrail(view->State().cursorOffset, offset);
    view->GoToOffset(offset, true);
    doc.Frame().RefreshCallStack();
    view->setFocus();
}
