#include "ApdExceptions.h"
#include "SerialDevice.h"
std::unique_ptr<SerialDevice> OpenRfc2217Device(const std::string&) { throw EBadId(); }
