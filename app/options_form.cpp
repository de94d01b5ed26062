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
    : period(options.nSynPeriod == Settings::kDaily || options.nSynPeriod == Settings::kHourly
                 ? options.nSynPeriod
                 : Settings::kOnlyManual),
      showIcon(options.bShowIcon),
      exitAfter(options.bExitAfter),
      maxDays(options.nMaxDays),
      timeOut(options.nTimeOut),
      maxDiff(options.nMaxDiff) {
    const OffsetParts offset = SplitOffset(options.nOffset);
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
        exitAfter = 0;
    }
}

UserOptions OptionsForm::Result() const {
    UserOptions options;
    options.nSynPeriod = period;
    options.bShowIcon = showIcon;
    options.bExitAfter = exitAfter;
    options.nOffset = JoinOffset({direction, minutes, seconds});
    options.nMaxDays = maxDays;
    options.nMaxDiff = maxDiff;
    options.nTimeOut = timeOut;
    return options;
}
