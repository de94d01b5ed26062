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
    : m_nPeriod(options.nSynPeriod == Settings::kDaily || options.nSynPeriod == Settings::kHourly
                    ? options.nSynPeriod
                    : Settings::kOnlyManual),
      m_bShowIcon(options.bShowIcon),
      m_bExitAfter(options.bExitAfter),
      m_nMaxDays(options.nMaxDays),
      m_nTimeOut(options.nTimeOut),
      m_nMaxDiff(options.nMaxDiff) {
    const OffsetParts offset = SplitOffset(options.nOffset);
    m_nDirection = offset.direction;
    m_nMinutes = offset.minutes;
    m_nSeconds = offset.seconds;
    ApplyExitAfterRule();
}

void OptionsForm::RestoreDefaults() {
    *this = OptionsForm(UserOptions{});
}

bool OptionsForm::ExitAfterOffered() const {
    return m_nPeriod == Settings::kDaily;
}

void OptionsForm::ApplyExitAfterRule() {
    if (!ExitAfterOffered()) {
        m_bExitAfter = 0;
    }
}

UserOptions OptionsForm::Result() const {
    UserOptions options;
    options.nSynPeriod = m_nPeriod;
    options.bShowIcon = m_bShowIcon;
    options.bExitAfter = m_bExitAfter;
    options.nOffset = JoinOffset({m_nDirection, m_nMinutes, m_nSeconds});
    options.nMaxDays = m_nMaxDays;
    options.nMaxDiff = m_nMaxDiff;
    options.nTimeOut = m_nTimeOut;
    return options;
}
