#include "ApdExceptions.h"
#include "SerialDevice.h"
std::unique_ptr<SerialDevice> OpenTermiosDevice(const std::string&) { throw EBadId(); }
