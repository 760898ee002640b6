#pragma once

#include <QPointer>
#include <QTreeView>
#include <cstdint>
#include <functional>
#include <vector>

class CTravikDoc;
class CTravikView;
class ItemListModel;

// A bar's list of listing items: one row per item with its displayed address, an
// optional kind and its line text, the texts made only for the rows on show (so a list
// of a million matches fills at once). Heading rows divide it into sections. Enter or
// a double-click on an item row reports the row's item; the count goes in the caption
// of the dock the list sits in.
class CItemListBar : public QTreeView {
    Q_OBJECT
  public:
    struct Row {
        uint32_t offset = 0;
        const char* kind = "";  // "" when the list has no kind column
        QString heading;        // a heading row when not empty
    };

    CItemListBar(QString caption, bool withKind, QWidget* parent = nullptr);
    ~CItemListBar() override;
    QSize sizeHint() const override;

    // The rows of `view`'s document; `count` items make the caption "CAPTION (count)".
    void SetRows(CTravikView* view, std::vector<Row> rows, size_t count);
    void Clear();
    CTravikView* View() const { return view_; }
    const std::vector<Row>& Rows() const;
    // The column texts of a row as shown (address, [kind,] text), for tests and reading.
    QStringList RowTexts(int row) const;

  signals:
    // An item row was chosen with Enter or a double-click.
    void itemChosen(CTravikView* view, uint32_t offset);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Choose(const QModelIndex& index);
    void SetCaption(const QString& text);

    QString caption_;
    ItemListModel* model_;
    QPointer<CTravikView> view_;
};
