#include "app/close_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(CloseRulesTest, TheProgramEndsItselfOnlyWhenNobodyCanSeeIt) {
    struct Case {
        CloseRequest request;
        CloseAction action;
    };
    using enum CloseAction;
    const Case cases[] = {
        {{.exitAfter = true, .fromMenu = false, .visible = false, .otherWindowsOpen = false},
         kEndSilently},
        // A second start or the tray showed the window: it is looked at.
        {{.exitAfter = true, .fromMenu = false, .visible = true, .otherWindowsOpen = false}, kAsk},
        // Options opened from the tray over the hidden window: wait until it closes.
        {{.exitAfter = true, .fromMenu = false, .visible = false, .otherWindowsOpen = true},
         kWaitForNextTick},
        {{.exitAfter = true, .fromMenu = true, .visible = false, .otherWindowsOpen = false}, kAsk},
        {{.exitAfter = false, .fromMenu = false, .visible = false, .otherWindowsOpen = false},
         kAsk},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.action, DecideClose(c.request))
            << c.request.exitAfter << c.request.fromMenu << c.request.visible
            << c.request.otherWindowsOpen;
    }
}

TEST(CloseRulesTest, AHiddenProgramAsksToCloseOnceTodaysRunIsDoneAndNoResumeRunIsDue) {
    struct Case {
        ExitAfterFacts facts;
        bool exits;
    };
    const Case cases[] = {
        {{.hidden = true, .exitAfter = true, .todaysRunDone = true, .resumePending = false}, true},
        {{.hidden = false, .exitAfter = true, .todaysRunDone = true, .resumePending = false},
         false},
        {{.hidden = true, .exitAfter = false, .todaysRunDone = true, .resumePending = false},
         false},
        {{.hidden = true, .exitAfter = true, .todaysRunDone = false, .resumePending = false},
         false},
        // The machine woke up: the run after the resume comes first.
        {{.hidden = true, .exitAfter = true, .todaysRunDone = true, .resumePending = true}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.exits, ExitsAfterSynchronisation(c.facts))
            << c.facts.hidden << c.facts.exitAfter << c.facts.todaysRunDone
            << c.facts.resumePending;
    }
}

TEST(CloseRulesTest, WithoutTheIconHidingMinimisesToTheTaskbar) {
    EXPECT_EQ(HideAction::kHide, DecideHide(true));
    EXPECT_EQ(HideAction::kMinimise, DecideHide(false));
}

}  // namespace
