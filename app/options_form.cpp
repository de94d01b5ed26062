#include "app/options_form.h"

#include <cstdlib>

OffsetParts SplitOffset(int offsetSeconds) {
    const int magnitude = std::abs(offsetSeconds);
    return {offsetSeconds < 0 ? 1 : 0, magnitude / 60, magnitude % 60};
}

int JoinOffset(const OffsetParts& parts) {
    const int seconds = parts.minutes * 60 + parts.seconds;
    return parts.direction == 1 ? -seconds : seconds;
}

OptionsForm::OptionsForm(const UserOptions& options)
    : period(options.period == Settings::kDaily || options.period == Settings::kHourly
                 ? options.period
                 : Settings::kOnlyManual),
      showIcon(options.showIcon),
      exitAfter(options.exitAfter),
      maxDays(options.maxDays),
      timeOut(options.timeOutSeconds),
      maxDiff(options.maxDiffMinutes) {
    const OffsetParts offset = SplitOffset(options.offsetSeconds);
    direction = offset.direction;
    minutes = offset.minutes;
    seconds = offset.seconds;
    ApplyExitAfterRule();
}

void OptionsForm::RestoreDefaults() {
    *this = OptionsForm(UserOptions{});
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
    return options;
}
