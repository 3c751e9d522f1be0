#include "ApdExceptions.h"
#include "SerialDevice.h"

namespace {
constexpr const char kRfc2217Scheme[] = "rfc2217://";
}

std::unique_ptr<SerialDevice> OpenSerialDevice(const std::string& name) {
  if (name.rfind(kRfc2217Scheme, 0) == 0)
    return OpenRfc2217Device(name.substr(sizeof kRfc2217Scheme - 1));
  return OpenTermiosDevice(name);
}

bool IsPortValid(const std::string& name) {
  try {
    OpenSerialDevice(name);
    return true;
  } catch (const EAlreadyOpen&) {
    return true;
  } catch (...) {
    return false;
  }
}
