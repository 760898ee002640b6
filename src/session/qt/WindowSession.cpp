#include "session/qt/WindowSession.h"

#include <QTimer>

void QtRunScheduler::Post(std::function<void()> next) {
    next_ = std::move(next);
    if (queued_) return;
    queued_ = true;
    QTimer::singleShot(0, this, [this] {
        queued_ = false;
        if (!next_) return;  // cancelled meanwhile
        std::function<void()> call = std::move(next_);
        next_ = nullptr;
        call();
    });
}

WindowSession::WindowSession(DebugSession& session, FrameServices& frame)
    : session_(session), link_(session, frame) {
    session_.SetScheduler(&scheduler_);
}

WindowSession::~WindowSession() {
    session_.SetScheduler(nullptr);
}
