#pragma once
// "host:port" as network serial lines are named; shared by the client and
// the simulator.
#include <string>

namespace rfc2217 {

// Splits "host:port" or "[v6-address]:port" into its parts; false when
// malformed. Port 0 passes only when allowZeroPort (a server picking a port).
inline bool SplitHostPort(const std::string& hostPort, std::string& host, std::string& port,
                          bool allowZeroPort = false) {
  size_t colon;
  if (!hostPort.empty() && hostPort.front() == '[') {
    size_t close = hostPort.find(']');
    if (close == std::string::npos || close + 1 >= hostPort.size() || hostPort[close + 1] != ':')
      return false;
    host = hostPort.substr(1, close - 1);
    colon = close + 1;
  } else {
    colon = hostPort.rfind(':');
    if (colon == std::string::npos) return false;
    host = hostPort.substr(0, colon);
    if (host.find(':') != std::string::npos) return false;  // a bare IPv6 address needs brackets
  }
  port = hostPort.substr(colon + 1);
  if (host.empty() || port.empty() || port.size() > 5) return false;
  long number = 0;
  for (char c : port) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  return (number > 0 || allowZeroPort) && number <= 65535;
}

}  // namespace rfc2217
