#include "app/close_rules.h"

CloseAction DecideClose(const CloseRequest& request) {
    if (request.fromMenu || request.visible || !request.exitAfter) {
        return CloseAction::kAsk;
    }
    return request.otherWindowsOpen ? CloseAction::kWaitForNextTick : CloseAction::kEndSilently;
}

bool ExitsAfterSynchronisation(const ExitAfterFacts& facts) {
    return facts.hidden && facts.exitAfter && facts.todaysRunDone && !facts.resumePending;
}

HideAction DecideHide(bool trayIconShown) {
    return trayIconShown ? HideAction::kHide : HideAction::kMinimise;
}
