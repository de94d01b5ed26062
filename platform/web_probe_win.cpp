#include <windows.h>
#include <wininet.h>

#include <initializer_list>

#include "base/unique_handle_win.h"
#include "platform/web_probe.h"

namespace {

constexpr DWORD_PTR kProbeContext = 777;

}  // namespace

ProbeResult PlatformWebProbe::Probe(QueryInterrupter*) {
    const UniqueInternetHandle session(
        ::InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) {
        return ProbeResult::kSessionFailed;
    }
    // Bounded like the POSIX probe: an abandoned run's probe cannot be interrupted, and the
    // program waits for it when it ends.
    DWORD timeoutMs = kTimeoutMs;
    for (const DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                               INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        ::InternetSetOptionA(session.get(), option, &timeoutMs, sizeof timeoutMs);
    }
    const UniqueInternetHandle page(::InternetOpenUrlA(session.get(), kProbeUrl, nullptr,
                                                       static_cast<DWORD>(-1), INTERNET_FLAG_RELOAD,
                                                       kProbeContext));
    return page ? ProbeResult::kOpened : ProbeResult::kUrlFailed;
}
