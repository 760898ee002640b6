#pragma once

#include "session/DebugSession.h"

class FrameServices;

// The main window's side of a document's session: warnings go to the warnings bar,
// changes repaint the debugger bars, and a long run keeps its progress in the status
// bar until it is over. Subscribed for as long as it lives.
class FrameSessionLink final : public DebugSessionObserver {
  public:
    FrameSessionLink(DebugSession& session, FrameServices& frame);
    ~FrameSessionLink() override;
    FrameSessionLink(const FrameSessionLink&) = delete;
    FrameSessionLink& operator=(const FrameSessionLink&) = delete;

    void OnWarning(const std::string& line) override;
    void OnStateChanged(const SessionRefresh& refresh, const DebugSessionObserver*) override;
    void OnCallsChanged() override;
    void OnRunProgress(const RunProgress& progress) override;
    void OnRunEnded(const RunEnded& ended) override;

  private:
    DebugSession& session_;
    FrameServices& frame_;
};
