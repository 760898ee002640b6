#include "widgets/AccessibleLines.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>
#include <algorithm>

namespace {

// The lines as one text. The ASCII column passes bytes 0x80-0x9F through, which Latin-1
// reads as control characters (0x85 as a line break); the fonts have no glyph for them
// and paint the missing-glyph box, so they are given as the replacement character.
QString JoinLines(const std::vector<std::string>& lines) {
    QString all;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) all += QLatin1Char('\n');
        all += QString::fromLatin1(lines[i].data(), static_cast<qsizetype>(lines[i].size()));
    }
    for (QChar& c : all)
        if (c.unicode() >= 0x80 && c.unicode() <= 0x9F) c = QChar::ReplacementCharacter;
    return all;
}

// Where line `line` of the joined text starts and ends; false without such a line.
bool LineSpan(const std::vector<std::string>& lines, int line, int& start, int& end) {
    if (line < 0 || line >= static_cast<int>(lines.size())) return false;
    start = 0;
    for (int i = 0; i < line; ++i) start += static_cast<int>(lines[size_t(i)].size()) + 1;
    end = start + static_cast<int>(lines[size_t(line)].size());
    return true;
}

// Whether the widget lies wholly outside one of its parents, as a splitter puts a pane
// that is closed.
bool ClippedAway(const QWidget* widget) {
    QRect r = widget->rect();
    for (const QWidget* w = widget; !w->isWindow() && w->parentWidget(); w = w->parentWidget()) {
        r.translate(w->pos());
        r &= w->parentWidget()->rect();
        if (r.isEmpty()) return true;
    }
    return false;
}

class LinesAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
  public:
    LinesAccessible(QWidget* widget, const AccessibleLines& source)
        : QAccessibleWidget(widget, QAccessible::EditableText), source_(source) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.multiLine = true;
        if (ClippedAway(widget())) {
            s.invisible = true;
            s.offscreen = true;
            s.focusable = false;
            s.focused = false;
        }
        return s;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return AllText();
        return QAccessibleWidget::text(t);
    }

    // Read-only: the cursor's line is the selection, the caret at its start; a reader
    // cannot move either.
    void selection(int index, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
        if (index == 0)
            LineSpan(source_.AccessibleLineTexts(), source_.AccessibleCursorLine(), *startOffset,
                     *endOffset);
    }
    int selectionCount() const override {
        const int line = source_.AccessibleCursorLine();
        return line >= 0 && line < static_cast<int>(source_.AccessibleLineTexts().size()) ? 1 : 0;
    }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override {
        int start = 0, end = 0;
        LineSpan(source_.AccessibleLineTexts(), source_.AccessibleCursorLine(), start, end);
        return start;
    }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override {
        const QString all = AllText();
        startOffset = std::clamp(startOffset, 0, static_cast<int>(all.size()));
        endOffset = std::clamp(endOffset, startOffset, static_cast<int>(all.size()));
        return all.mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return static_cast<int>(AllText().size()); }
    QRect characterRect(int) const override { return QRect(); }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = offset;
        return QString();
    }

  private:
    QString AllText() const { return JoinLines(source_.AccessibleLineTexts()); }

    const AccessibleLines& source_;
};

QAccessibleInterface* Factory(const QString&, QObject* object) {
    if (object == nullptr || !object->isWidgetType()) return nullptr;
    if (const auto* source = dynamic_cast<const AccessibleLines*>(object))
        return new LinesAccessible(static_cast<QWidget*>(object), *source);
    return nullptr;
}

}  // namespace

void AccessibleLines::NotifyAccessibleCursor(QWidget* self) {
    if (!QAccessible::isActive()) return;
    const std::vector<std::string> lines = AccessibleLineTexts();
    const int line = AccessibleCursorLine();
    int start = -1, end = -1;
    if (!LineSpan(lines, line, start, end)) return;
    // A scroll that keeps the cursor's row puts another line under the caret.
    if (start == notifiedCursor_ && lines[size_t(line)] == notifiedLine_) return;
    notifiedCursor_ = start;
    notifiedLine_ = lines[size_t(line)];
    QAccessibleTextCursorEvent moved(self, start);
    QAccessible::updateAccessibility(&moved);
}

void AccessibleLines::InstallFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    (void)installed;
}
