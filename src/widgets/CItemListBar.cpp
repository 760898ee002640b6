#include "widgets/CItemListBar.h"

#include <QAbstractTableModel>
#include <QDockWidget>
#include <QHeaderView>
#include <QKeyEvent>

#include "document/CTravikDoc.h"
#include "listing/LineText.h"
#include "listing/qt/CTravikView.h"

class ItemListModel : public QAbstractTableModel {
  public:
    ItemListModel(bool withKind, QObject* parent)
        : QAbstractTableModel(parent), withKind_(withKind) {}

    void Reset(CTravikView* view, std::vector<CItemListBar::Row> rows) {
        beginResetModel();
        view_ = view;
        rows_ = std::move(rows);
        endResetModel();
    }
    const std::vector<CItemListBar::Row>& Rows() const { return rows_; }

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex&) const override { return withKind_ ? 3 : 2; }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
        if (section == 0) return "Address";
        return withKind_ && section == 1 ? "Kind" : "Text";
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !view_ || index.row() >= static_cast<int>(rows_.size()))
            return {};
        const CItemListBar::Row& row = rows_[index.row()];
        if (!row.heading.isEmpty()) return index.column() == 0 ? QVariant(row.heading) : QVariant();
        if (withKind_ && index.column() == 1) return QString(row.kind);
        // The item line starts with the displayed address; the rest is its text.
        const std::string line = GetLineText(view_->GetDocument(), row.offset, 0);
        const size_t space = std::min(line.find(' '), line.size());
        if (index.column() == 0) return QString::fromLatin1(line.data(), static_cast<int>(space));
        const size_t text = std::min(line.find_first_not_of(' ', space), line.size());
        return QString::fromLatin1(line.data() + text, static_cast<int>(line.size() - text));
    }

  private:
    bool withKind_;
    QPointer<CTravikView> view_;
    std::vector<CItemListBar::Row> rows_;
};

CItemListBar::CItemListBar(QString caption, bool withKind, QWidget* parent)
    : QTreeView(parent), caption_(std::move(caption)), model_(new ItemListModel(withKind, this)) {
    setModel(model_);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAccessibleName(caption_);
    QFont fixed("Courier New");
    fixed.setPixelSize(13);
    fixed.setStyleHint(QFont::TypeWriter);
    setFont(fixed);
    header()->setStretchLastSection(true);
    setColumnWidth(0, 80);
    if (withKind) setColumnWidth(1, 60);
    connect(this, &QTreeView::doubleClicked, this, &CItemListBar::Choose);
}

CItemListBar::~CItemListBar() = default;

QSize CItemListBar::sizeHint() const {
    return {420, 160};
}

const std::vector<CItemListBar::Row>& CItemListBar::Rows() const {
    return model_->Rows();
}

void CItemListBar::SetRows(CTravikView* view, std::vector<Row> rows, size_t count) {
    view_ = view;
    model_->Reset(view, std::move(rows));
    // A heading reads across the columns, not cut off in the address column.
    const std::vector<Row>& shown = Rows();
    for (size_t i = 0; i < shown.size(); ++i)
        if (!shown[i].heading.isEmpty()) setFirstColumnSpanned(static_cast<int>(i), {}, true);
    SetCaption(QString("%1 (%2)").arg(caption_).arg(count));
}

void CItemListBar::Clear() {
    view_ = nullptr;
    model_->Reset(nullptr, {});
    SetCaption(caption_);
}

QStringList CItemListBar::RowTexts(int row) const {
    QStringList texts;
    for (int column = 0; column < model_->columnCount({}); ++column)
        texts << model_->data(model_->index(row, column), Qt::DisplayRole).toString();
    return texts;
}

void CItemListBar::SetCaption(const QString& text) {
    if (auto* dock = qobject_cast<QDockWidget*>(parentWidget())) dock->setWindowTitle(text);
}

void CItemListBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Choose(currentIndex());
        return;
    }
    QTreeView::keyPressEvent(event);
}

void CItemListBar::Choose(const QModelIndex& index) {
    if (!index.isValid() || !view_) return;
    const Row& row = Rows()[index.row()];
    if (row.heading.isEmpty()) emit itemChosen(view_, row.offset);
}
