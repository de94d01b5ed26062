// One synchronisation: for a manual run a web probe first, then the query-and-set step
// (ClockCorrection: the server's time, the clock set, the user's offset), made in this
// process or, when it may not set the clock, by the Tickwell Clock service; then the record,
// the status line and the clock-jump warning. Every effect goes through the run's
// generation, so a run the scheduler has abandoned changes nothing any more. What happened
// goes to the reporter, which words it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "config/settings.h"
#include "platform/clock.h"
#include "platform/clock_service.h"
#include "platform/network_stack.h"
#include "sync/clock_correction.h"
#include "sync/record_store.h"
#include "sync/run_gate.h"
#include "sync/run_kind.h"
#include "sync/run_reporter.h"
#include "sync/run_result.h"
#include "sync/server_query.h"
#include "sync/schedule_marks.h"
#include "sync/server_cursor.h"
#include "ntp/key_exchanger.h"
#include "ntp/sntp_client.h"
#include "platform/web_probe.h"

// The platform services a run uses.
struct RunServices {
    Clock& clock;
    NetworkStack& network;
    WebProbe& probe;
    RunReporter& reporter;
    ClockService& clockService;
};

// The program-wide objects a run reads and changes.
struct RunContext {
    RunServices services;
    Settings& settings;
    ServerCursor& cursor;
    ScheduleMarks& marks;
    RunGate& gate;
    RecordStore& records;
    int sntpPort = 123;
    std::uint32_t sntpTimeoutMs = SntpClient::kDefaultTimeoutMs;
    RunHistory* history = nullptr;  // every run ends with a line there, when there is one
    // The key exchange of the servers asked by secure time (NTS); without one they fail.
    KeyExchanger* keys = nullptr;
    // Whether a scheduled run may ask the server now as a second opinion; every server when
    // empty. A run the user starts asks any server.
    std::function<bool(const ServerEntry&)> mayAskAutomatically{};
    // Told on the run's thread just before its own request goes out from this process, by
    // title and address; a run that fails before (its web probe, the network's start) tells
    // nothing. The server tests of the dialogs do not tell it.
    std::function<void(const std::string& title, const std::string& address)> asking{};
};

class SyncRun {
  public:
    SyncRun(RunContext& context, RunGate::Generation generation, RunKind kind);

    // The run, its line in the history and its end told to the reporter; an abandoned run
    // writes and tells nothing.
    RunResult Run();

  private:
    RunResult Synchronise();
    // Asks the host and corrects the clock from the answer, with the user's offset, asking the
    // second opinions before a large step. The failure, if any, is reported already.
    RunResult CorrectInProcess(const TimeServer& server);
    // The catalogue's servers after the current one that may give a second opinion on host:
    // only secure ones when only those may be asked.
    std::vector<ServerEntry> SecondOpinionServers(const std::string& host) const;
    RunResult CorrectThroughService(const TimeServer& server, bool serviceChosen);
    bool ProbeInternet(RunResult* result);
    // Reports the failure at the step and moves to the next server.
    RunResult Fail(RunStep step, RunResult result, bool serviceChosen = false);
    // The failure's box, when showBox, and its status line.
    void ReportFailure(bool showBox, RunStep step, const RunResult& result,
                       bool serviceChosen = false);
    bool ShowBox(const RunEvent& event);
    // Through the gate, as long as the run's generation counts.
    template <typename Effect>
    bool Apply(const Effect& effect) {
        return context_.gate.Apply(generation_, effect);
    }
    bool SetWatchdogToNow();
    // The failed run's step to the next server.
    void MoveToNextServer();

    RunContext& context_;
    Clock& clock_;
    RunGate::Generation generation_;
    const RunKind kind_;
    const bool manual_;          // the user started it: boxes, the web probe, any server
    std::string serverTitle_;    // of the server the run asks
    const UserOptions options_;  // taken once at the start, so one run sees one set of options
};
