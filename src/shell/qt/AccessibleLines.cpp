#include "shell/qt/AccessibleLines.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>
#include <algorithm>

namespace {

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
        return s;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return AllText();
        return QAccessibleWidget::text(t);
    }

    // Read-only: no selections, the caret stays at the start.
    void selection(int, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
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
    QString AllText() const {
        QString all;
        for (const std::string& line : source_.AccessibleLineTexts()) {
            if (!all.isEmpty()) all += QLatin1Char('\n');
            all += QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size()));
        }
        return all;
    }

    const AccessibleLines& source_;
};

QAccessibleInterface* Factory(const QString&, QObject* object) {
    if (object == nullptr || !object->isWidgetType()) return nullptr;
    if (const auto* source = dynamic_cast<const AccessibleLines*>(object))
        return new LinesAccessible(static_cast<QWidget*>(object), *source);
    return nullptr;
}

}  // namespace

void AccessibleLines::InstallFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    (void)installed;
}
