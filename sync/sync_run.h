// One synchronisation: for a manual run a web probe first, then the server's time, the
// clock set (stepped coarsely first when it is an hour or more off), the user's offset, the
// record, the status line and the clock-jump warning. Every effect goes through the run's
// generation, so a run the scheduler has abandoned changes nothing any more.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/message_boxes.h"
#include "sync/server_cursor.h"
#include "config/settings.h"
#include "platform/clock.h"
#include "platform/month_names.h"
#include "platform/network_stack.h"
#include "sync/run_gate.h"
#include "ntp/sntp_client.h"
#include "platform/web_probe.h"

// The platform services a run uses.
struct RunServices {
    Clock& clock;
    NetworkStack& network;
    WebProbe& probe;
    MessageBoxes& boxes;
};

// The program-wide objects a run reads and changes.
struct RunContext {
    RunServices services;
    Settings& settings;
    ServerCursor& cursor;
    RunGate& gate;
    const MonthNames& months;
    int sntpPort = 123;
    std::uint32_t sntpTimeoutMs = SntpClient::kDefaultTimeoutMs;
};

// Success is told apart from the delay: a fast exchange may well measure 0.0.
struct FetchOutcome {
    bool ok = false;
    double delay = 0.0;
    // The server answered but the platform refused to set the clock, with this error.
    std::optional<std::uint32_t> clockRefused;
};

class SyncRun {
  public:
    static constexpr double kCoarseStepSeconds = 3600.0;
    static constexpr const char* kCaption = "Tickwell";

    SyncRun(RunContext& context, RunGate::Generation generation, bool manual);

    // 1 for success, 0 for failure.
    int Run();

    // Queries the host and, when asked, sets the clock from the answer.
    FetchOutcome FetchServerTime(bool showErrors, bool setClock, const std::string& host);

  private:
    bool ProbeInternet();
    int Fail(const std::string& text);
    void ReportInternetOpenError(bool showBox);
    void ReportUrlOpenError(bool showBox);
    void ReportCommunicationError(bool showBox, const std::string& text);
    void Report(bool showBox, const std::string& text, const char* caption, const char* line);
    bool ShowBox(const std::string& text, const char* caption, BoxIcon icon);
    bool Apply(const std::function<void(SyncRecord&)>& effect);
    bool SetWatchdogToNow();
    bool CoarseStep(double offset);

    RunContext& context_;
    Clock& clock_;
    RunGate::Generation generation_;
    bool manual_;
};

// The server test of the dialogs: the delay in seconds, or 0.0 for failure.
double FetchServerTime(RunContext& context, int showErrors, int setClock, const std::string& host);

// "Success synchro: Mar. 07, 2003. Net delay: 0.123 sec."
std::string SuccessStatusLine(const SYSTEMTIME& after, double delay, const MonthNames& months);
std::string ClockJumpWarning(std::int64_t minutes);
// Why a run failed although its server answered: the platform's error, and for the missing
// privilege what to do about it.
std::string ClockRefusedText(std::uint32_t error);
// Local time moved by whole seconds with calendar arithmetic, milliseconds kept; empty when
// the result is no calendar time the clock can hold.
std::optional<SYSTEMTIME> ApplyUserOffset(const SYSTEMTIME& local, std::int32_t offsetSeconds);
