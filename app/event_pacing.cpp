#include "app/event_pacing.h"

std::int32_t DayNumber(const SYSTEMTIME& local) {
    return local.wYear * 10000 + local.wMonth * 100 + local.wDay;
}

bool DailyEventDue(const DailyMark& last, const DailyMark& now) {
    return last != now;
}

bool RepeatPacing::Due(std::uint32_t id, TimePoint now) {
    const auto last = last_.find(id);
    if (last != last_.end() && now - last->second < kInterval) {
        return false;
    }
    last_[id] = now;
    return true;
}

Conditions ConditionOnsets::Begun(const Conditions& now) {
    const Conditions begun{now.allServersRefused && !last_.allServersRefused,
                           now.overdue && !last_.overdue,
                           now.otherTimeProgram && !last_.otherTimeProgram};
    last_ = now;
    return begun;
}
