// The widget tests' main(): one QApplication for every test, on the offscreen platform
// unless the caller chose another one, and the watch on modal windows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <deque>

#include "UiTestHelpers.h"

namespace {

std::deque<std::function<void(QDialog&)>> answers;

// Hands each modal window, once shown, to the next scripted answer.
struct ModalWatch : QObject {
    bool eventFilter(QObject* object, QEvent* event) override {
        auto* dialog = qobject_cast<QDialog*>(object);
        if (event->type() != QEvent::Show || !dialog || !dialog->isModal()) return false;
        // Answered from its own event loop: a dialog closed before exec() waits for ever.
        QTimer::singleShot(0, dialog, [dialog = QPointer<QDialog>(dialog)] {
            if (!dialog || !dialog->isVisible()) return;
            if (answers.empty()) {
                const auto* box = qobject_cast<QMessageBox*>(dialog.data());
                ADD_FAILURE() << "unexpected " << dialog->metaObject()->className() << " \""
                              << (box ? box->text() : dialog->windowTitle()).toStdString()
                              << "\"";
                dialog->reject();
                return;
            }
            auto answer = std::move(answers.front());
            answers.pop_front();
            answer(*dialog);
            if (!dialog || !dialog->isVisible()) return;
            ADD_FAILURE() << "the answer left " << dialog->metaObject()->className() << " open";
            dialog->reject();
        });
        return false;
    }
};

struct LeftoverAnswers : ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override {
        EXPECT_EQ(answers.size(), 0u) << "a scripted box or dialog never opened";
        answers.clear();
    }
};

}  // namespace

void ExpectDialog(std::function<void(QDialog&)> answer) {
    answers.push_back(std::move(answer));
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ModalWatch watch;
    app.installEventFilter(&watch);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new LeftoverAnswers);
    return RUN_ALL_TESTS();
}
