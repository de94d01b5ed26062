// The system's socket headers and what each socket layer adds to them, for the socket
// layer's own source files only, so that no other file of the core sees a platform header.
#pragma once

#ifdef _WIN32
#include "ntp/socket_system_win.h"
#else
#include "ntp/socket_system_posix.h"
#endif

#include "ntp/socket_address.h"
#include "ntp/socket_api.h"

namespace net {

// The system's handle of a socket, and the last error for a code of getaddrinfo: each
// socket layer's own.
NativeSocket Native(SocketHandle socket);
int ResolverError(int code);

}  // namespace net
