#include "serial/ApdExceptions.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>

namespace {
const std::map<int, const char*>& ErrorTable() {
  static const std::map<int, const char*> table = {
      {1002, "Bad argument passed to function"},
      {2001, "ie_BadId - Specified comport doesn't exist"},
      {2003, "ie_Bytesize - invalid byte size"},
      {2004, "ie_Default - error in default parameters"},
      {2005, "ie_Hardware - Specified comport in use"},
      {2006, "ie_Memory - unable to allocate queues"},
      {2008, "ie_Open - device already open"},
      {2009, "No more handles, can't open port"},
      {2011, "The ComNumber property of the TApdComPort has not been set"},
      {3001, "No device layer specified"},
      {3006, "Output buffer too small for block"},
      {3007, "Buffer is empty"},
      {5003, "Bad trigger handle"},
  };
  return table;
}
}  // namespace

std::string ApdErrorText(int code) {
  auto it = ErrorTable().find(std::abs(code));
  return it == ErrorTable().end() ? std::string() : std::string(it->second);
}

EAPDException::EAPDException(int code)
    : std::runtime_error([code] {
        std::string text = ApdErrorText(code);
        return text.empty() ? std::string("Apro exception") : text;
      }()),
      code_(code) {}

std::string SystemErrorText(int errnoValue) {
  char buf[256];
  std::string raw = strerror_r(errnoValue, buf, sizeof buf);
  std::string out;
  for (char c : raw) {
    char ch = (static_cast<unsigned char>(c) < 32) ? ' ' : c;
    if (ch == ' ' && !out.empty() && out.back() == ' ') continue;
    out += ch;
  }
  return out;
}

EInOutError::EInOutError(int errorCode)
    : std::runtime_error([errorCode] {
        std::string text = ApdErrorText(errorCode);
        return text.empty() ? SystemErrorText(errorCode) : text;
      }()),
      errorCode_(errorCode) {}

void RaiseOpenError(int errnoValue, const std::string& deviceName) {
  switch (errnoValue) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
    case ECONNREFUSED:
    case EHOSTUNREACH:
    case ENETUNREACH:
      throw EBadId();
    case EBUSY:
    case EWOULDBLOCK:
      throw EAlreadyOpen();
    case ENOMEM:
      throw EOutOfMemory();
    case EACCES:
    case EPERM:
      throw EInOutError(errnoValue, "Permission denied opening " + deviceName +
                                        " (the user needs read and write access, usually "
                                        "membership of the dialout group)");
    default:
      throw EInOutError(errnoValue, SystemErrorText(errnoValue) + " (" + deviceName + ")");
  }
}
