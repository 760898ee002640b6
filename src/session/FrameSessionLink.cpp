#include "session/FrameSessionLink.h"

#include "shell/FrameServices.h"

FrameSessionLink::FrameSessionLink(DebugSession& session, FrameServices& frame)
    : session_(session), frame_(frame) {
    session_.Subscribe(*this);
}

FrameSessionLink::~FrameSessionLink() {
    session_.Unsubscribe(*this);
}

void FrameSessionLink::OnWarning(const std::string& line) {
    frame_.AddWarning(line);
}

void FrameSessionLink::OnStateChanged(const SessionRefresh& refresh, const DebugSessionObserver*) {
    if (refresh.repaintRegisters) frame_.RepaintRegisters();
    if (refresh.repaintMemory) frame_.RepaintMemory();
    if (refresh.repaintPhone) frame_.RepaintPhone();
}

void FrameSessionLink::OnCallsChanged() {
    frame_.RefreshCallStack();
}

void FrameSessionLink::OnRunProgress(const RunProgress& progress) {
    frame_.RepaintRegisters();
    frame_.RepaintPhone();
    frame_.SetStatusText(RunProgressText(progress));
}

void FrameSessionLink::OnRunEnded(const RunEnded& ended) {
    if (ended.wentOn) frame_.SetStatusText("Ready");
}
