#include <windows.h>
#include <wininet.h>

#include "platform/connectivity.h"

bool PlatformConnectivity::IsConnected() {
    DWORD flags = 0;
    return ::InternetGetConnectedState(&flags, 0) != FALSE;
}
