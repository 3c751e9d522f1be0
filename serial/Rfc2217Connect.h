#pragma once
// Opens the TCP connection of a network serial line.
#include <string>

namespace rfc2217 {

// Splits "host:port" or "[v6-address]:port"; false when malformed.
bool SplitHostPort(const std::string& hostPort, std::string& host, std::string& port);

// Connects to hostPort within timeoutMs and returns a non-blocking socket
// with TCP_NODELAY set. Raises EBadId when the name is malformed or unknown,
// or nobody answers there (refused, unreachable, timed out).
int ConnectTcp(const std::string& hostPort, int timeoutMs);

}  // namespace rfc2217
