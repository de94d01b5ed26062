#include "sync/sync_run.h"

#include <cstdio>
#include <cstdlib>

#include "config/date_time.h"

namespace {

constexpr const char* kErrorCaption = "Tickwell:Error";
constexpr const char* kInternetErrorCaption = "Tickwell: error";
// ERROR_PRIVILEGE_NOT_HELD: only an elevated administrator may set the clock.
constexpr std::uint32_t kPrivilegeNotHeld = 1314;

constexpr const char* kServiceSilentText =
    "The Tickwell Clock service does not answer. Ask your administrator to install it, or run "
    "Tickwell as administrator.";
constexpr const char* kNoWayToSetText =
    "Tickwell may not set the clock and the Tickwell Clock service does not answer. Ask your "
    "administrator to install the service, or run Tickwell as administrator.";

}  // namespace

std::string SuccessStatusLine(const SYSTEMTIME& after, double delay, const MonthNames& months) {
    char delayText[64];
    std::snprintf(delayText, sizeof delayText, "%5.3f", delay);
    return "Success synchro: " + DateStamp(after, months) + ". Net delay: " + delayText + " sec.";
}

std::string ClockJumpWarning(std::int64_t minutes) {
    return std::to_string(minutes) +
           " minutes between the time after synchronizing and the time before synchronizing.\n"
           "It can be caused by a virus, by bad software executing, by DST or by hardware "
           "errors.\nThis message is a warning only.";
}

std::string ClockRefusedText(std::uint32_t error) {
    const std::string refused = "Windows refused to set the clock (error " + std::to_string(error);
    if (error == kPrivilegeNotHeld) {
        return refused + "): run Tickwell as administrator.";
    }
    return refused + ").";
}

SyncRun::SyncRun(RunContext& context, RunGate::Generation generation, bool manual)
    : context_(context),
      clock_(context.services.clock),
      generation_(generation),
      manual_(manual),
      options_(context.settings.userOptions()) {}

bool SyncRun::Apply(const std::function<void(SyncRecord&)>& effect) {
    return context_.gate.Apply(generation_, effect);
}

bool SyncRun::ShowBox(const std::string& text, const char* caption, BoxIcon icon) {
    if (!context_.gate.IsCurrent(generation_)) {
        return false;
    }
    RunGate::RunBoxGuard guard(context_.gate, generation_);
    context_.services.boxes.Show(text, caption, icon, guard);
    // The time the box stayed open is the user's, not the run's.
    return SetWatchdogToNow();
}

bool SyncRun::SetWatchdogToNow() {
    return Apply([this](SyncRecord&) { context_.cursor.setWatchdogTime(clock_.LocalTime()); });
}

void SyncRun::Report(bool showBox, const std::string& text, const char* caption, const char* line) {
    const SYSTEMTIME now = clock_.LocalTime();
    if (showBox) {
        ShowBox(text, caption, BoxIcon::kError);
    }
    const std::string status = line + ErrorStamp(now, context_.months);
    Apply([&status](SyncRecord& record) { record.connectStatus = status; });
}

void SyncRun::ReportInternetOpenError(bool showBox) {
    Report(showBox, "Internet open error! Test your system and try again.", kInternetErrorCaption,
           "Internet Open Error! ");
}

void SyncRun::ReportUrlOpenError(bool showBox) {
    Report(showBox,
           "URL open error!\nIf you cannot see any WWW page and get mail,\ntest internet "
           "connection, please.\nIf you can it means that the program\ncannot get information "
           "from time server now.\nIf you use manual synchronization\ntry be synchronized "
           "later.\nIf it is auto mode do nothing, please.",
           kErrorCaption, "URL Open Error! ");
}

void SyncRun::ReportCommunicationError(bool showBox, const std::string& text) {
    Report(showBox, text, kErrorCaption, "Communication error! ");
}

int SyncRun::Fail(const std::string& text) {
    ReportCommunicationError(manual_, text);
    Apply([this](SyncRecord&) { context_.cursor.AdvanceServer(); });
    return 0;
}

bool SyncRun::ProbeInternet() {
    if (!manual_) {
        return true;  // scheduled runs rely on the scheduler's connection check
    }
    RunInterrupter interrupter(context_.gate, generation_);
    const ProbeResult probed = context_.services.probe.Probe(&interrupter);
    if (probed == ProbeResult::kOpened) {
        return true;
    }
    if (probed == ProbeResult::kSessionFailed) {
        ReportInternetOpenError(manual_);
    } else {
        ReportUrlOpenError(manual_);
    }
    Apply([this](SyncRecord&) { context_.cursor.AdvanceServer(); });
    return false;
}

ClockCorrection::Outcome SyncRun::FetchServerTime(bool showErrors, bool setClock,
                                                  const std::string& host,
                                                  std::int32_t userOffsetSeconds) {
    const NetworkSession session(context_.services.network);
    if (session.result() == NetworkStartResult::kFailed) {
        ReportCommunicationError(showErrors, "WSAStartup failed!\n");
        return {};
    }
    if (session.result() == NetworkStartResult::kWrongVersion) {
        ReportCommunicationError(showErrors,
                                 "Winsock stack does not support version that is needed!\n");
        return {};
    }
    RunInterrupter interrupter(context_.gate, generation_);
    SntpClient client(clock_, context_.sntpTimeoutMs, &interrupter);
    // The watchdog measures the run, not the jump of the clock it has just set.
    ClockCorrection correction(clock_, client, context_.sntpPort,
                               [this](const std::function<void()>& set) {
                                   return Apply([&](SyncRecord&) {
                                       set();
                                       context_.cursor.setWatchdogTime(clock_.LocalTime());
                                   });
                               });
    return setClock ? correction.Correct(host, userOffsetSeconds) : correction.Measure(host);
}

std::optional<double> SyncRun::CorrectInProcess(const std::string& host) {
    using Result = ClockCorrection::Outcome::Result;
    const ClockCorrection::Outcome outcome = FetchServerTime(manual_, true, host, options_.nOffset);
    switch (outcome.result) {
        case Result::kSucceeded:
            return outcome.delay;
        case Result::kAbandoned:
            break;
        case Result::kNoAnswer:
            Fail("Time receiving error!");
            break;
        case Result::kClockRefused:
            Fail(ClockRefusedText(outcome.setError));
            break;
        case Result::kConversionFailed:
            Fail("Time conversion error!");
            break;
    }
    return std::nullopt;
}

std::optional<double> SyncRun::CorrectThroughService(const std::string& host, bool serviceChosen) {
    RunInterrupter interrupter(context_.gate, generation_);
    const std::optional<ClockServiceReply> reply =
        context_.services.clockService.Synchronise({host, options_.nOffset}, &interrupter);
    // The service may have moved the clock: the watchdog measures the run, not that jump.
    if (!SetWatchdogToNow()) {
        return std::nullopt;
    }
    if (!reply) {
        Fail(serviceChosen ? kServiceSilentText : kNoWayToSetText);
        return std::nullopt;
    }
    if (reply->status != ClockServiceStatus::kSynchronised) {
        Fail("The Tickwell Clock service could not synchronize: " + reply->reason + ".");
        return std::nullopt;
    }
    return reply->delay;
}

int SyncRun::Run() {
    // A copy: the catalogue may be replaced while the run works.
    const std::string host = context_.cursor.CurrentServerAddress();
    if (!ProbeInternet()) {
        return 0;
    }
    const SYSTEMTIME before = clock_.LocalTime();
    const std::int32_t use = context_.settings.nClockService;
    const bool serviceChosen = use == Settings::kServiceAlways;
    const bool throughService =
        serviceChosen || (use != Settings::kServiceNever && !clock_.MaySetClock());
    const std::optional<double> delay =
        throughService ? CorrectThroughService(host, serviceChosen) : CorrectInProcess(host);
    if (!delay) {
        return 0;
    }

    const SYSTEMTIME after = clock_.LocalTime();
    if (!Apply([&](SyncRecord& record) {
            record.timeBefore = before;
            record.timeAfter = after;
            record.syncDate = after;
        })) {
        return 0;
    }
    if (manual_ && !ShowBox("Successful synchronization.", kCaption, BoxIcon::kInformation)) {
        return 0;
    }
    const std::string status = SuccessStatusLine(after, *delay, context_.months);
    if (!Apply([&](SyncRecord& record) {
            record.connectStatus = status;
            context_.settings.saveSyncRecord(record);
        })) {
        return 0;
    }

    const std::int32_t maxDiff = options_.nMaxDiff;
    if (context_.settings.bFirstStart == 0 && maxDiff != 0) {
        const std::optional<DateTime> start = DateTime::FromSystemTime(before);
        const std::optional<DateTime> end = DateTime::FromSystemTime(after);
        const std::int64_t minutes = start && end ? std::llabs(WholeMinutes(*end - *start)) : 0;
        if (minutes > maxDiff) {
            if (!ShowBox(ClockJumpWarning(minutes), kCaption, BoxIcon::kWarning)) {
                return 0;
            }
        }
    }
    if (!Apply([this](SyncRecord&) { context_.settings.bFirstStart = 0; })) {
        return 0;
    }
    return 1;
}

double FetchServerTime(RunContext& context, int showErrors, int setClock, const std::string& host) {
    SyncRun test(context, RunGate::kAlways, false);
    const ClockCorrection::Outcome fetched =
        test.FetchServerTime(showErrors != 0, setClock != 0, host);
    return fetched.result == ClockCorrection::Outcome::Result::kSucceeded ? fetched.delay : 0.0;
}
