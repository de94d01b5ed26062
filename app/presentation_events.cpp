// The wording of the inserts of the program's events in the Application log.
#include <cstdio>

#include "app/presentation.h"
#include "base/decimal_text.h"
#include "config/clock_policy.h"
#include "sync/clock_change_watch.h"

namespace presentation {

namespace {

std::vector<std::string> RunInserts(const RunResult& result, RunKind kind) {
    return {result.serverTitle, AddressAsked(result), RunKindWords(kind)};
}

std::string Seconds(double seconds) {
    return DecimalText(seconds, 3, true);
}

}  // namespace

std::vector<std::string> ClockSetInserts(const RunResult& result, RunKind kind) {
    std::vector<std::string> inserts = RunInserts(result, kind);
    inserts.push_back(Seconds(result.offset));
    inserts.push_back(Seconds(result.step.value_or(0.0)));
    inserts.push_back(kNotSecure);
    inserts.push_back(result.throughService ? "the Tickwell Clock service" : "Tickwell");
    return inserts;
}

std::vector<std::string> RunFailureInserts(const RunResult& result, RunKind kind) {
    std::vector<std::string> inserts = RunInserts(result, kind);
    inserts.push_back(HistoryReason(result));
    return inserts;
}

std::vector<std::string> DisagreementInserts(const RunResult& result, RunKind kind) {
    std::vector<std::string> inserts = RunInserts(result, kind);
    inserts.push_back(result.failure.otherServer);
    inserts.push_back(result.failure.otherAddress);
    inserts.push_back(std::to_string(result.failure.secondsApart));
    return inserts;
}

std::vector<std::string> OverdueInserts(const StatusView& status) {
    // Overdue always has a last synchronisation to count from.
    SYSTEMTIME last{};
    status.lastSuccess.value_or(DateTime()).ToSystemTime(&last);
    char when[32];
    std::snprintf(when, sizeof when, "%04d-%02d-%02d %02d:%02d", last.wYear, last.wMonth, last.wDay,
                  last.wHour, last.wMinute);
    return {std::to_string(status.maxDays), when};
}

std::vector<std::string> OtherTimeProgramInserts() {
    return {std::to_string(ClockChangeWatch::kMaxPerHour)};
}

std::string PolicyKeyText(PolicyScope scope) {
    std::string key = IsMachineWide(scope) ? "HKEY_LOCAL_MACHINE\\" : "HKEY_CURRENT_USER\\";
    key += kMandatoryPolicyKey;
    if (!IsMandatory(scope)) {
        key += std::string("\\") + kRecommendedSubkey;
    }
    return key;
}

std::string AppliedPolicyList(const std::vector<AppliedPolicyValue>& values) {
    std::string list;
    for (const AppliedPolicyValue& value : values) {
        list += (list.empty() ? "" : "\r\n") + value.name + " = " + value.value + " (" +
                PolicyKeyText(value.scope) + ")";
    }
    return list;
}

namespace {

// The range a policy value must lie in, by its name; none for a name no policy has.
bool SameRegistryName(const std::string& a, const std::string& b) {
    return !RegistryNameLess{}(a, b) && !RegistryNameLess{}(b, a);
}

std::optional<OptionRange> PolicyRangeOf(const std::string& name) {
    for (const OptionRow& row : kOptionRows) {
        if (row.policy && SameRegistryName(name, row.name)) {
            return row.policy;
        }
    }
    if (SameRegistryName(name, kAllowUserServersValue)) {
        return kAllowUserServersRange;
    }
    if (SameRegistryName(name, kMaxUserOffsetValue)) {
        return kMaxUserOffsetPolicyRange;
    }
    return std::nullopt;
}

}  // namespace

std::vector<std::string> IgnoredPolicyInserts(const IgnoredPolicyValue& value) {
    // A list's entry is named "Servers\3": text; every other policy value is a number.
    const bool listEntry = value.name.find('\\') != std::string::npos;
    std::string why;
    switch (value.reason) {
        case IgnoredPolicyValue::Reason::kOutOfRange:
            if (const std::optional<OptionRange> range = PolicyRangeOf(value.name)) {
                why = "it is outside " + std::to_string(range->low) + " to " +
                      std::to_string(range->high);
            } else {
                why = "it is outside what the policy allows";
            }
            break;
        case IgnoredPolicyValue::Reason::kWrongType:
            why = listEntry ? "it is not a REG_SZ" : "it is not a REG_DWORD";
            break;
        case IgnoredPolicyValue::Reason::kNoHost:
            why = "it is no host name or address";
            break;
    }
    return {PolicyKeyText(value.scope), value.name, value.found, why};
}

}  // namespace presentation
