#include "app/options_form.h"

#include <algorithm>
#include <cstdlib>

namespace {

// The stored values the form edits; the others (the notifications switch, say) it leaves be.
constexpr std::int32_t StoredOptions::*kFormFields[] = {
    &StoredOptions::nSynPeriod, &StoredOptions::bShowIcon, &StoredOptions::bExitAfter,
    &StoredOptions::nOffset,    &StoredOptions::nMaxDays,  &StoredOptions::nMaxDiff,
    &StoredOptions::nTimeOut,   &StoredOptions::bOnlyNts};

bool IsFormField(std::int32_t StoredOptions::*field) {
    return std::find(std::begin(kFormFields), std::end(kFormFields), field) !=
           std::end(kFormFields);
}

}  // namespace

OffsetParts SplitOffset(int offsetSeconds) {
    const int magnitude = std::abs(offsetSeconds);
    return {offsetSeconds < 0 ? 1 : 0, magnitude / 60, magnitude % 60};
}

int JoinOffset(const OffsetParts& parts) {
    const int seconds = parts.minutes * 60 + parts.seconds;
    return parts.direction == 1 ? -seconds : seconds;
}

OptionsForm::OptionsForm(const UserOptions& options, const UserOptions& unchosen)
    : period(options.period == Settings::kDaily || options.period == Settings::kHourly
                 ? options.period
                 : Settings::kOnlyManual),
      showIcon(options.showIcon),
      exitAfter(options.exitAfter),
      maxDays(options.maxDays),
      timeOut(options.timeOutSeconds),
      maxDiff(options.maxDiffMinutes),
      onlySecure(options.onlySecure),
      unchosen_(unchosen) {
    const OffsetParts offset = SplitOffset(options.offsetSeconds);
    direction = offset.direction;
    minutes = offset.minutes;
    seconds = offset.seconds;
    ApplyExitAfterRule();
    opened_ = Result();
}

void OptionsForm::RestoreDefaults() {
    OptionsForm restored(unchosen_, unchosen_);
    restored.opened_ = opened_;
    restored.restored_ = restored.Result();
    *this = restored;
}

OptionEdits OptionsForm::Edits() const {
    StoredOptions now;
    StoredOptions opened;
    StoredOptions restored;
    now.Take(Result());
    opened.Take(opened_);
    restored.Take(restored_.value_or(UserOptions{}));
    OptionEdits edits;
    for (const OptionRow& row : kOptionRows) {
        if (!IsFormField(row.field)) {
            continue;
        }
        if (restored_ && now.*row.field == restored.*row.field) {
            edits.restored.insert(row.name);
        } else if (now.*row.field != opened.*row.field) {
            edits.changed.insert(row.name);
        }
    }
    return edits;
}

bool OptionsForm::ExitAfterOffered() const {
    return period == Settings::kDaily;
}

void OptionsForm::ApplyExitAfterRule() {
    if (!ExitAfterOffered()) {
        exitAfter = false;
    }
}

UserOptions OptionsForm::Result() const {
    UserOptions options;
    options.period = period;
    options.showIcon = showIcon;
    options.exitAfter = exitAfter;
    options.offsetSeconds = JoinOffset({direction, minutes, seconds});
    options.maxDays = maxDays;
    options.maxDiffMinutes = maxDiff;
    options.timeOutSeconds = timeOut;
    options.onlySecure = onlySecure;
    return options;
}
