#include "serial/ApdExceptions.h"
#include "serial/Rfc2217Address.h"
#include "serial/SerialDevice.h"

namespace {
constexpr const char kRfc2217Scheme[] = "rfc2217://";

bool IsNetworkName(const std::string& name) { return name.rfind(kRfc2217Scheme, 0) == 0; }
}  // namespace

std::unique_ptr<SerialDevice> OpenSerialDevice(const std::string& name) {
  if (IsNetworkName(name)) return OpenRfc2217Device(name.substr(sizeof kRfc2217Scheme - 1));
  return OpenTermiosDevice(name);
}

PortAvailability ProbePort(const std::string& name) {
  if (!IsNetworkName(name)) return ProbeTermiosPort(name);
  // Only the form of the address is checked: no name lookup, no connection.
  std::string host, port;
  return rfc2217::SplitHostPort(name.substr(sizeof kRfc2217Scheme - 1), host, port)
             ? PortAvailability::Untested
             : PortAvailability::Missing;
}

bool IsPortValid(const std::string& name) { return ProbePort(name) != PortAvailability::Missing; }
