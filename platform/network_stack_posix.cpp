#include "platform/network_stack.h"

NetworkStartResult PlatformNetworkStack::Start() {
    return NetworkStartResult::kStarted;
}

void PlatformNetworkStack::Stop() {}
