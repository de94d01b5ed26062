// The POSIX socket headers, for the socket layer's own source files.
#pragma once

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace net {
using NativeSocket = int;
}
