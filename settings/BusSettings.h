#pragma once
// The bus window's last scan in the settings file: section "Bus", one key
// "Device <address>" per device found, its name as the value. Written
// without touching any other key, so that the table is not empty at the
// next start.
#include <map>
#include <optional>
#include <string>

// The devices the last scans found, by address (1 to 240).
std::map<int, std::string> LoadBusDevices(const std::string& path);
// What a scan heard, by address: a device's name (found: its key is set) or
// nothing (absent: its key goes). Other keys stay. The same message as
// SaveSettings when the file cannot be written.
std::optional<std::string> SaveBusScan(const std::string& path,
                                       const std::map<int, std::optional<std::string>>& answers);
