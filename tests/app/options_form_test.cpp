#include "app/options_form.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>

#include "tests/support/memory_profile_store.h"

namespace {

TEST(OptionsFormTest, ShowsTheStoredOptionsAndGivesThemBack) {
    struct Case {
        UserOptions stored;
        int period, exitAfter, direction, minutes, seconds;
        UserOptions result;
    };
    const UserOptions daily{0, 1, 1, -90, 14, 61, 20};
    const Case cases[] = {
        {daily, 0, 1, 1, 1, 30, daily},
        {{0, 0, 0, 125, 3, 5, 30}, 0, 0, 0, 2, 5, {0, 0, 0, 125, 3, 5, 30}},
        // Hourly and manual clear the exit; a period the dialog does not know is manual.
        {{1, 1, 1, 0, 14, 61, 20}, 1, 0, 0, 0, 0, {1, 1, 0, 0, 14, 61, 20}},
        {{2, 1, 1, 0, 14, 61, 20}, 2, 0, 0, 0, 0, {2, 1, 0, 0, 14, 61, 20}},
        {{7, 1, 1, 0, 14, 61, 20}, 2, 0, 0, 0, 0, {2, 1, 0, 0, 14, 61, 20}},
        {{-1, 1, 1, 0, 14, 61, 20}, 2, 0, 0, 0, 0, {2, 1, 0, 0, 14, 61, 20}},
    };
    for (const Case& c : cases) {
        const OptionsForm form(c.stored);
        EXPECT_EQ(c.period, form.period) << c.stored.period;
        EXPECT_EQ(c.exitAfter, form.exitAfter) << c.stored.period;
        EXPECT_EQ(c.direction, form.direction) << c.stored.offsetSeconds;
        EXPECT_EQ(c.minutes, form.minutes) << c.stored.offsetSeconds;
        EXPECT_EQ(c.seconds, form.seconds) << c.stored.offsetSeconds;
        EXPECT_TRUE(c.result == form.Result()) << c.stored.period;
    }
}

TEST(OptionsFormTest, TypedMinutesAndDirectionMakeTheOffset) {
    OptionsForm form(UserOptions{});
    for (const auto& [direction, minutes, seconds, offset] :
         {std::tuple{0, 2, 5, 125}, {0, -5, 0, -300}, {1, -5, 0, 300}, {1, 1, 30, -90}}) {
        form.direction = direction;
        form.minutes = minutes;
        form.seconds = seconds;
        EXPECT_EQ(offset, form.Result().offsetSeconds) << minutes;
    }
}

TEST(OptionsFormTest, RestoreDefaultFillsTheFieldsOnly) {
    MemoryProfileStore store;
    Settings settings(store);
    const UserOptions mine{1, 0, 0, -90, 3, 5, 30};
    settings.Publish(mine);
    settings.clockService = Settings::kServiceNever;
    OptionsForm form(settings.Options());
    form.RestoreDefaults();
    EXPECT_TRUE(UserOptions{} == form.Result());
    EXPECT_TRUE(mine == settings.Options());
    EXPECT_EQ(Settings::kServiceNever, settings.clockService);
}

TEST(OptionsFormTest, EditsTellChangedFromRestoredFields) {
    const UserOptions opened{0, 1, 1, 0, 30, 61, 20};
    UserOptions unchosen;
    unchosen.maxDays = 5;  // a recommended policy's value
    struct Case {
        const char* what;
        bool restore;
        int maxDays;  // typed after the restore, if any
        int timeOut;
        std::set<std::string> changed;
        std::set<std::string> restored;
    };
    const std::set<std::string> all = {"nSynPeriod", "bShowIcon", "bExitAfter", "nOffset",
                                       "nMaxDays",   "nTimeOut",  "nMaxDiff",   "bOnlyNts"};
    std::set<std::string> allButDays = all;
    allButDays.erase("nMaxDays");
    const Case cases[] = {
        {"nothing touched", false, 30, 20, {}, {}},
        {"a typed value", false, 31, 20, {"nMaxDays"}, {}},
        {"typed back as it was", false, 30, 20, {}, {}},
        {"restored", true, 5, 20, {}, all},
        {"restored, then typed",
         true,
         7,
         60,
         {"nMaxDays", "nTimeOut"},
         [&] {
             std::set<std::string> rest = allButDays;
             rest.erase("nTimeOut");
             return rest;
         }()},
    };
    for (const Case& c : cases) {
        OptionsForm form(opened, unchosen);
        if (c.restore) {
            form.RestoreDefaults();
            EXPECT_EQ(5, form.maxDays) << c.what;
        }
        form.maxDays = c.maxDays;
        form.timeOut = c.timeOut;
        const OptionEdits edits = form.Edits();
        EXPECT_EQ(c.changed, edits.changed) << c.what;
        EXPECT_EQ(c.restored, edits.restored) << c.what;
    }
}

TEST(OptionsFormTest, OnlySecureIsEditedAndOnlyTurningItOnAsksForSecureServers) {
    const struct {
        bool opened;
        bool checked;
        bool turnedOn;
        std::set<std::string> changed;
    } cases[] = {
        {false, true, true, {"bOnlyNts"}},
        {true, true, false, {}},
        {true, false, false, {"bOnlyNts"}},
        {false, false, false, {}},
    };
    for (const auto& c : cases) {
        UserOptions opened;
        opened.onlySecure = c.opened;
        OptionsForm form(opened);
        EXPECT_EQ(c.opened, form.onlySecure);
        form.onlySecure = c.checked;
        EXPECT_EQ(c.checked, form.Result().onlySecure) << c.opened << c.checked;
        EXPECT_EQ(c.turnedOn, form.TurnedOnlySecureOn()) << c.opened << c.checked;
        EXPECT_EQ(c.changed, form.Edits().changed) << c.opened << c.checked;
    }
}

TEST(OptionsFormTest, OnlyDailySynchronisationOffersTheExit) {
    OptionsForm form(UserOptions{});
    for (const auto& [period, offered, exitAfter] :
         {std::tuple{1, false, 0}, {0, true, 0}, {2, false, 0}}) {
        form.period = period;
        form.ApplyExitAfterRule();
        EXPECT_EQ(offered, form.ExitAfterOffered()) << period;
        EXPECT_EQ(exitAfter, form.exitAfter) << period;  // chosen again, it stays clear
    }
}

}  // namespace
