#pragma once
// The state file: the devices' memories kept across runs, as text. It is
// replaced atomically (a temporary file in the same folder, synced, then
// renamed over it), so a crash leaves either the old or the new file.
#include <string>

#include "sim/DeviceMemory.h"

enum class StateLoad { Missing, Loaded, Corrupt };

// Reads the file into `memories`. Corrupt (also short or unreadable): the
// memories are left empty and `why` says what is wrong.
StateLoad LoadStateFile(const std::string& path, DeviceMemories& memories, std::string& why);
// Writes the file atomically; false with `error` set when it could not.
bool SaveStateFile(const std::string& path, const DeviceMemories& memories, std::string& error);

// The text form, and reading it back (false with `why` on any fault).
std::string StateText(const DeviceMemories& memories);
bool ParseStateText(const std::string& text, DeviceMemories& memories, std::string& why);
