// Every value of the store's "Options" section besides the synchronisation record: its
// name, where it lives, its default and what loading does with a value outside its range.
// Loading, saving, Restore Default and the Options dialog's checks all read this one table.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <optional>

// The eight options the Options dialog edits, as one value; constructed, they are the
// defaults, both when a value is absent from the store and for Restore Default.
struct UserOptions {
    std::int32_t period = 0;  // a Settings::Period, or a stored value the program does not know
    bool showIcon = true;     // the notification area's icon
    bool exitAfter = true;    // end once a hidden program's daily run has succeeded
    std::int32_t offsetSeconds = 0;    // the clock runs at real time + offsetSeconds
    std::int32_t maxDays = 14;         // overdue after more days than this; 0: never
    std::int32_t maxDiffMinutes = 61;  // a larger step of the clock is warned of; 0: never
    std::int32_t timeOutSeconds = 20;  // how long a scheduled run may take
    bool onlySecure = false;           // every run and second opinion asks NTS servers only

    bool operator==(const UserOptions&) const = default;
};

// Every value of the "Options" section as it is stored: under its stored name, a 32-bit
// integer (flags 0 or 1). Constructed, they are what loading takes for an absent value: the
// options' defaults and those of the four values the program keeps beside them.
struct StoredOptions {
    std::int32_t nSynPeriod = UserOptions{}.period;
    std::int32_t bShowIcon = UserOptions{}.showIcon;
    std::int32_t bExitAfter = UserOptions{}.exitAfter;
    std::int32_t nOffset = UserOptions{}.offsetSeconds;
    std::int32_t nMaxDays = UserOptions{}.maxDays;
    std::int32_t nMaxDiff = UserOptions{}.maxDiffMinutes;
    std::int32_t nTimeOut = UserOptions{}.timeOutSeconds;
    std::int32_t nStartingServ = 0;
    std::int32_t bFirstStart = 1;
    std::int32_t nClockService = 0;  // a Settings::ClockServiceUse
    std::int32_t bNotify = 1;        // balloons in the notification area
    std::int32_t bOnlyNts = UserOptions{}.onlySecure;

    // The options as the program reads them: a flag is set when it is not 0.
    UserOptions Options() const {
        return {nSynPeriod, bShowIcon != 0, bExitAfter != 0, nOffset,
                nMaxDays,   nMaxDiff,       nTimeOut,        bOnlyNts != 0};
    }
    // The options put in, the other four values kept.
    void Take(const UserOptions& options) {
        nSynPeriod = options.period;
        bShowIcon = options.showIcon ? 1 : 0;
        bExitAfter = options.exitAfter ? 1 : 0;
        nOffset = options.offsetSeconds;
        nMaxDays = options.maxDays;
        nMaxDiff = options.maxDiffMinutes;
        nTimeOut = options.timeOutSeconds;
        bOnlyNts = options.onlySecure ? 1 : 0;
    }
};

struct OptionRange {
    std::int32_t low = std::numeric_limits<std::int32_t>::min();
    std::int32_t high = std::numeric_limits<std::int32_t>::max();

    constexpr bool Contains(std::int32_t value) const { return value >= low && value <= high; }
};

struct OptionRow {
    enum Correction {
        kToNearestBound,  // a stored value outside `loaded` becomes the bound it passed
        kToDefault,       // ... becomes the default
    };

    const char* name;
    std::int32_t StoredOptions::*field;
    OptionRange loaded;
    Correction correction;
    OptionRange entered;  // what the Options dialog accepts, where it shows the value as is
    // What an administrator's policy may set it to, under the same name; none for a value no
    // policy governs. A policy value outside it is ignored.
    std::optional<OptionRange> policy = std::nullopt;

    constexpr std::int32_t Corrected(std::int32_t stored) const {
        if (loaded.Contains(stored)) {
            return stored;
        }
        if (correction == kToDefault) {
            return StoredOptions{}.*field;
        }
        return stored < loaded.low ? loaded.low : loaded.high;
    }
};

// In the order Save() writes them.
inline constexpr std::array<OptionRow, 12> kOptionRows = {{
    {"nSynPeriod", &StoredOptions::nSynPeriod, {}, OptionRow::kToDefault, {}, OptionRange{0, 2}},
    {"bShowIcon", &StoredOptions::bShowIcon, {}, OptionRow::kToDefault, {}, OptionRange{0, 1}},
    {"bExitAfter", &StoredOptions::bExitAfter, {}, OptionRow::kToDefault, {}, OptionRange{0, 1}},
    {"nOffset", &StoredOptions::nOffset, {}, OptionRow::kToDefault, {}},
    {"nMaxDays", &StoredOptions::nMaxDays, {}, OptionRow::kToDefault, {0, 45}, OptionRange{0, 45}},
    {"nTimeOut",
     &StoredOptions::nTimeOut,
     {.low = 5},
     OptionRow::kToNearestBound,
     {20, 300},
     OptionRange{20, 300}},
    {"nMaxDiff",
     &StoredOptions::nMaxDiff,
     {},
     OptionRow::kToDefault,
     {0, 1000000},
     OptionRange{0, 1000000}},
    {"nStartingServ", &StoredOptions::nStartingServ, {}, OptionRow::kToDefault, {}},
    {"bFirstStart", &StoredOptions::bFirstStart, {}, OptionRow::kToDefault, {}},
    {"nClockService",
     &StoredOptions::nClockService,
     {0, 2},
     OptionRow::kToDefault,
     {},
     OptionRange{0, 2}},
    {"bNotify", &StoredOptions::bNotify, {}, OptionRow::kToDefault, {}, OptionRange{0, 1}},
    {"bOnlyNts", &StoredOptions::bOnlyNts, {}, OptionRow::kToDefault, {}, OptionRange{0, 1}},
}};

// The Options dialog shows the offset as whole minutes and seconds; what it accepts of each.
inline constexpr OptionRange kOffsetMinutesEntered{-10, 10};
inline constexpr OptionRange kOffsetSecondsEntered{0, 59};

// The row of an option, found when the program is built.
consteval const OptionRow& OptionRowOf(std::int32_t StoredOptions::*field) {
    for (const OptionRow& row : kOptionRows) {
        if (row.field == field) {
            return row;
        }
    }
    throw "no such option";
}
