#include "service/clock_service_host_win.h"

#include <windows.h>

#include <mutex>
#include <string>

#include "config/clock_policy.h"
#include "nts/certificate_check.h"
#include "nts/nts_key_exchanger.h"
#include "platform/clock.h"
#include "platform/event_log_win.h"
#include "platform/network_stack.h"
#include "base/unique_handle_win.h"
#include "service/clock_pipe_server_win.h"
#include "service/clock_request_handler.h"
#include "service/event_log_win.h"
#include "service/ignored_policy_notice.h"
#include "service/service_identity_win.h"

namespace {

// Stopping lets a request in hand finish: two SNTP exchanges and a name lookup at most.
constexpr DWORD kStopWaitHintMs = 30000;
constexpr DWORD kStartWaitHintMs = 5000;

class ServiceHost {
  public:
    void Run();

  private:
    static DWORD WINAPI Control(DWORD control, DWORD, void*, void* context);
    void Report(DWORD state, DWORD exitCode = NO_ERROR, DWORD waitHintMs = 0);

    // The control handler runs on the dispatcher's thread, the service on its own.
    std::mutex statusMutex_;
    SERVICE_STATUS_HANDLE statusHandle_ = nullptr;
    SERVICE_STATUS status_{};
    UniqueHandle stop_;
};

void ServiceHost::Run() {
    // Before the handler can be called, so that it always finds the event.
    stop_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    statusHandle_ = ::RegisterServiceCtrlHandlerExW(kClockServiceName, &ServiceHost::Control, this);
    if (statusHandle_ == nullptr) {
        return;
    }
    status_.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    if (!stop_) {
        Report(SERVICE_STOPPED, ::GetLastError());
        return;
    }
    Report(SERVICE_START_PENDING, NO_ERROR, kStartWaitHintMs);

    WindowsEventLog log(kEventSourceName);
    PlatformClock clock;
    PlatformNetworkStack network;
    IgnoredPolicyNotice ignored;
    const auto loadPolicy = [&log, &ignored] {
        ClockPolicy policy = LoadMachineClockPolicy();
        for (const IgnoredPolicyValue& value : ignored.NewlyIgnored(policy.ignored)) {
            log.Write(IgnoredPolicyEvent(value));
        }
        return policy;
    };
    // Windows judges the key exchanges' chains: the machine's trusted roots count.
    nts::CertificateCheck certificates;
    nts::NtsKeyExchanger keys(certificates);
    ClockRequestHandler::Options options;
    options.keys = &keys;
    ClockRequestHandler handler(clock, network, loadPolicy, options);
    ClockPipeServer server(
        [&handler](std::span<const std::uint8_t> request) { return handler.Handle(request); },
        [&log](std::span<const std::uint8_t> request, const ClockServiceReply& reply) {
            if (const std::optional<LoggedEvent> event = EventForReply(request, reply)) {
                log.Write(*event);
            }
        });
    if (!server.Start()) {
        const DWORD error = ::GetLastError();
        log.Write(PipeFailedEvent(error));
        Report(SERVICE_STOPPED, error);
        return;
    }
    Report(SERVICE_RUNNING);
    log.Write(ServiceStartedEvent());
    ::WaitForSingleObject(stop_.get(), INFINITE);
    Report(SERVICE_STOP_PENDING, NO_ERROR, kStopWaitHintMs);
    server.Stop();
    log.Write(ServiceStoppedEvent());
    Report(SERVICE_STOPPED);
}

DWORD WINAPI ServiceHost::Control(DWORD control, DWORD, void*, void* context) {
    auto* host = static_cast<ServiceHost*>(context);
    switch (control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
            host->Report(SERVICE_STOP_PENDING, NO_ERROR, kStopWaitHintMs);
            ::SetEvent(host->stop_.get());
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE:
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void ServiceHost::Report(DWORD state, DWORD exitCode, DWORD waitHintMs) {
    const std::lock_guard<std::mutex> lock(statusMutex_);
    status_.dwCurrentState = state;
    status_.dwWin32ExitCode = exitCode;
    status_.dwWaitHint = waitHintMs;
    status_.dwControlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    status_.dwCheckPoint =
        state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : status_.dwCheckPoint + 1;
    ::SetServiceStatus(statusHandle_, &status_);
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
    ServiceHost host;
    host.Run();
}

}  // namespace

bool RunClockService() {
    // The name is not read for a service in a process of its own.
    const SERVICE_TABLE_ENTRYW services[] = {
        {const_cast<wchar_t*>(kClockServiceName), &ServiceMain}, {nullptr, nullptr}};
    return ::StartServiceCtrlDispatcherW(services) != FALSE;
}
