#include "platform/network_stack.h"

#include <winsock2.h>

namespace {
constexpr WORD kWinsockVersion = MAKEWORD(1, 1);
}

NetworkStartResult PlatformNetworkStack::Start() {
    WSADATA data{};
    if (::WSAStartup(kWinsockVersion, &data) != 0) {
        return NetworkStartResult::kFailed;
    }
    if (data.wVersion != kWinsockVersion) {
        ::WSACleanup();
        return NetworkStartResult::kWrongVersion;
    }
    return NetworkStartResult::kStarted;
}

void PlatformNetworkStack::Stop() {
    ::WSACleanup();
}
