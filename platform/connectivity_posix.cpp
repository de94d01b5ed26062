#include <ifaddrs.h>
#include <net/if.h>

#include "platform/connectivity.h"

bool PlatformConnectivity::IsConnected() {
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0) {
        return false;
    }
    bool connected = false;
    for (const ifaddrs* entry = interfaces; entry != nullptr; entry = entry->ifa_next) {
        if ((entry->ifa_flags & IFF_UP) != 0 && (entry->ifa_flags & IFF_LOOPBACK) == 0) {
            connected = true;
            break;
        }
    }
    freeifaddrs(interfaces);
    return connected;
}
