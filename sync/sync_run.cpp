#include "sync/sync_run.h"

#include <cmath>
#include <cstdio>

#include "config/date_time.h"

namespace {

constexpr const char* kErrorCaption = "Tickwell:Error";
constexpr const char* kInternetErrorCaption = "Tickwell: error";
// ERROR_PRIVILEGE_NOT_HELD: only an elevated administrator may set the clock.
constexpr std::uint32_t kPrivilegeNotHeld = 1314;

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

std::optional<SYSTEMTIME> ApplyUserOffset(const SYSTEMTIME& local, std::int32_t offsetSeconds) {
    SYSTEMTIME whole = local;
    whole.wMilliseconds = 0;
    const std::optional<DateTime> start = DateTime::FromSystemTime(whole);
    SYSTEMTIME shifted{};
    if (!start || !start->AddSeconds(offsetSeconds).ToSystemTime(&shifted)) {
        return std::nullopt;
    }
    shifted.wMilliseconds = local.wMilliseconds;
    return shifted;
}

SyncRun::SyncRun(RunContext& context, RunGate::Generation generation, bool manual)
    : context_(context), clock_(context.services.clock), generation_(generation), manual_(manual) {}

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

bool SyncRun::CoarseStep(double offset) {
    // Whole seconds by calendar arithmetic: the milliseconds of the moment are dropped.
    return Apply([this, offset](SyncRecord&) {
        const std::optional<DateTime> now = DateTime::FromSystemTime(clock_.UtcTime());
        SYSTEMTIME stepped{};
        if (now && now->AddSeconds(std::trunc(offset)).ToSystemTime(&stepped)) {
            clock_.SetUtcTime(stepped);
        }
    });
}

FetchOutcome SyncRun::FetchServerTime(bool showErrors, bool setClock, const std::string& host) {
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
    SntpResult result;
    if (!client.Query(host.c_str(), &result, context_.sntpPort)) {
        return {};
    }
    if (!setClock) {
        return {true, result.delay, std::nullopt};
    }

    bool set = false;
    std::optional<std::uint32_t> refused;
    // Read at once: the platform's reason is gone after the next call.
    const auto setTheClock = [&] {
        set = clock_.SetClockUtc(AddSeconds(clock_.Now(), result.offset));
        if (!set) {
            refused = clock_.LastSetError();
        }
    };
    if (std::fabs(result.offset) < kCoarseStepSeconds) {
        // The watchdog measures the run, not the jump of the clock it has just set.
        if (!Apply([&](SyncRecord&) {
                setTheClock();
                context_.cursor.setWatchdogTime(clock_.LocalTime());
            })) {
            return {};
        }
        return {set, result.delay, refused};
    }

    if (!CoarseStep(result.offset) || !SetWatchdogToNow()) {
        return {};
    }
    result = {};
    if (!client.Query(host.c_str(), &result, context_.sntpPort)) {
        return {};
    }
    if (!Apply([&](SyncRecord&) {
            setTheClock();
            context_.cursor.setWatchdogTime(clock_.LocalTime());
        })) {
        return {};
    }
    return {set, result.delay, refused};
}

int SyncRun::Run() {
    // A copy: the catalogue may be replaced while the run works.
    const std::string host = context_.cursor.CurrentServerAddress();
    if (!ProbeInternet()) {
        return 0;
    }
    const SYSTEMTIME before = clock_.LocalTime();
    const FetchOutcome fetched = FetchServerTime(manual_, true, host);
    if (!fetched.ok) {
        return Fail(fetched.clockRefused ? ClockRefusedText(*fetched.clockRefused)
                                         : "Time receiving error!");
    }

    const std::int32_t offset = context_.settings.nOffset;
    if (offset != 0) {
        bool converted = true;
        if (!Apply([&](SyncRecord&) {
                const std::optional<SYSTEMTIME> shifted =
                    ApplyUserOffset(clock_.LocalTime(), offset);
                converted = shifted.has_value();
                if (converted) {
                    clock_.SetLocalTime(*shifted);
                    context_.cursor.setWatchdogTime(clock_.LocalTime());
                }
            })) {
            return 0;
        }
        if (!converted) {
            return Fail("Time conversion error!");
        }
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
    const std::string status = SuccessStatusLine(after, fetched.delay, context_.months);
    if (!Apply([&](SyncRecord& record) {
            record.connectStatus = status;
            context_.settings.saveSyncRecord(record);
        })) {
        return 0;
    }

    const std::int32_t maxDiff = context_.settings.nMaxDiff;
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
    const FetchOutcome fetched = test.FetchServerTime(showErrors != 0, setClock != 0, host);
    return fetched.ok ? fetched.delay : 0.0;
}
