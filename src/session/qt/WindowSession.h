#pragma once

#include <QObject>
#include <functional>

#include "session/FrameSessionLink.h"

// Runs the posted slice from the event loop: the window paints and takes its input
// between two slices.
class QtRunScheduler final : public QObject, public RunScheduler {
  public:
    void Post(std::function<void()> next) override;
    void Cancel() override { next_ = nullptr; }

  private:
    std::function<void()> next_;
    bool queued_ = false;
};

// A document's session in the main window: its long runs go on from the event loop and
// its events reach the window's bars. Lives as long as the document is open.
class WindowSession {
  public:
    WindowSession(DebugSession& session, FrameServices& frame);
    ~WindowSession();
    WindowSession(const WindowSession&) = delete;
    WindowSession& operator=(const WindowSession&) = delete;

  private:
    DebugSession& session_;
    QtRunScheduler scheduler_;
    FrameSessionLink link_;
};
