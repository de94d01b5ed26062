// One synchronisation: for a manual run a web probe first, then the query-and-set step
// (ClockCorrection: the server's time, the clock set, the user's offset), made in this
// process or, when it may not set the clock, by the Tickwell Clock service; then the record,
// the status line and the clock-jump warning. Every effect goes through the run's
// generation, so a run the scheduler has abandoned changes nothing any more.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/message_boxes.h"
#include "sync/server_cursor.h"
#include "config/settings.h"
#include "platform/clock.h"
#include "platform/clock_service.h"
#include "platform/month_names.h"
#include "platform/network_stack.h"
#include "sync/clock_correction.h"
#include "sync/run_gate.h"
#include "ntp/sntp_client.h"
#include "platform/web_probe.h"

// The platform services a run uses.
struct RunServices {
    Clock& clock;
    NetworkStack& network;
    WebProbe& probe;
    MessageBoxes& boxes;
    ClockService& clockService;
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

class SyncRun {
  public:
    static constexpr const char* kCaption = "Tickwell";

    SyncRun(RunContext& context, RunGate::Generation generation, bool manual);

    // 1 for success, 0 for failure.
    int Run();

    // Queries the host and, when asked, corrects the clock from the answer by
    // userOffsetSeconds too. A failed start of the network is reported here and counts as no
    // answer.
    ClockCorrection::Outcome FetchServerTime(bool showErrors, bool setClock,
                                             const std::string& host,
                                             std::int32_t userOffsetSeconds = 0);

  private:
    // The delay of the exchange, or empty when the step failed (reported already).
    std::optional<double> CorrectInProcess(const std::string& host);
    std::optional<double> CorrectThroughService(const std::string& host, bool serviceChosen);
    bool ProbeInternet();
    int Fail(const std::string& text);
    void ReportInternetOpenError(bool showBox);
    void ReportUrlOpenError(bool showBox);
    void ReportCommunicationError(bool showBox, const std::string& text);
    void Report(bool showBox, const std::string& text, const char* caption, const char* line);
    bool ShowBox(const std::string& text, const char* caption, BoxIcon icon);
    bool Apply(const std::function<void(SyncRecord&)>& effect);
    bool SetWatchdogToNow();

    RunContext& context_;
    Clock& clock_;
    RunGate::Generation generation_;
    bool manual_;
    const UserOptions options_;  // taken once at the start, so one run sees one set of options
};

// The server test of the dialogs: the delay in seconds, or 0.0 for failure.
double FetchServerTime(RunContext& context, int showErrors, int setClock, const std::string& host);

// "Success synchro: Mar. 07, 2003. Net delay: 0.123 sec."
std::string SuccessStatusLine(const SYSTEMTIME& after, double delay, const MonthNames& months);
std::string ClockJumpWarning(std::int64_t minutes);
// Why a run failed although its server answered: the platform's error, and for the missing
// privilege what to do about it.
std::string ClockRefusedText(std::uint32_t error);
