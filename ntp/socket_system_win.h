// Winsock's headers, for the socket layer's own source files.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

namespace net {
using NativeSocket = SOCKET;
}
