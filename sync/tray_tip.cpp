#include "sync/tray_tip.h"

#include <cstdio>

#include "base/decimal_text.h"

namespace {

bool SameDay(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay;
}

std::string DayAndTime(const SYSTEMTIME& when, const SYSTEMTIME& now) {
    char text[64];
    const std::optional<DateTime> today = DateTime::FromSystemTime(now);
    SYSTEMTIME tomorrow{};
    const bool isTomorrow = today &&
                            today->AddSeconds(DateTime::kSecondsPerDay).ToSystemTime(&tomorrow) &&
                            SameDay(when, tomorrow);
    if (SameDay(when, now) || isTomorrow) {
        std::snprintf(text, sizeof text, "%s %02d:%02d", isTomorrow ? "tomorrow" : "today",
                      when.wHour, when.wMinute);
    } else {
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", when.wYear, when.wMonth,
                      when.wDay, when.wHour, when.wMinute);
    }
    return text;
}

}  // namespace

std::string TrayTipText(const TrayTipState& state) {
    std::string tip = state.name + " - ";
    if (state.last && !state.last->ok()) {
        tip += "last attempt failed: " + FailureSummary(state.last->failure);
    } else if (state.syncDate.wYear != 0) {
        tip += "synchronized " + DayAndTime(state.syncDate, state.now);
        if (state.last) {
            tip += ", offset " + DecimalText(state.last->offset, 3, true) + " s";
        }
    } else {
        tip += "not synchronized yet";
    }
    if (state.nextRun) {
        const std::optional<DateTime> now = DateTime::FromSystemTime(state.now);
        SYSTEMTIME next{};
        if (now && WholeSeconds(*state.nextRun - *now) <= 0) {
            tip += "\nNext run: now";
        } else if (state.nextRun->ToSystemTime(&next)) {
            tip += "\nNext run: " + DayAndTime(next, state.now);
        }
    }
    if (state.otherTimeProgram) {
        tip += "\nAnother time program is also setting the clock.";
    }
    return tip.substr(0, kMaxTrayTipLength);
}
