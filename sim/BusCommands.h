#pragma once
// The control channel's commands for the device bus: faults, stray bytes
// and looking at what the devices received and remember.
#include <optional>
#include <string>
#include <vector>

#include "sim/DeviceBus.h"

// The reply line for a bus command, or nothing when `words` is not one.
std::optional<std::string> RunBusCommand(const std::vector<std::string>& words, DeviceBus& bus);
