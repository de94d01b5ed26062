// The wording of the inserts of the program's events in the Application log.
#include <cstdio>

#include "app/presentation.h"
#include "base/decimal_text.h"
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

std::string AppliedPolicyList(const std::vector<AppliedPolicyValue>& values) {
    std::string list;
    for (const AppliedPolicyValue& value : values) {
        list += (list.empty() ? "" : "\r\n") + value.name + " = " + value.value + " (" + value.key +
                ")";
    }
    return list;
}

std::vector<std::string> IgnoredPolicyInserts(const IgnoredPolicyValue& value) {
    std::string why;
    switch (value.why) {
        case IgnoredPolicyValue::Why::kOutOfRange:
            why = "it is outside " + std::to_string(value.range.low) + " to " +
                  std::to_string(value.range.high);
            break;
        case IgnoredPolicyValue::Why::kWrongType:
            why = "it is not a " + value.expectedType;
            break;
        case IgnoredPolicyValue::Why::kNotAServer:
            why = "it is no host name or address";
            break;
    }
    return {value.key, value.name, value.data, why};
}

}  // namespace presentation
