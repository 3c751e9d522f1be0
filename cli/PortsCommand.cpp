// varlo-cli ports: the serial ports of this system as the user knows them,
// with the port number the settings file maps to each, and the network
// lines of the settings file; a line each, or JSON.
#include <iostream>
#include <map>

#include "cli/DeviceCommandSupport.h"
#include "cli/DeviceCommands.h"
#include "link/JsonText.h"
#include "serial/PortList.h"
#include "serial/PortNames.h"
#include "settings/IniFile.h"
#include "settings/SettingsLocation.h"

namespace {
constexpr int kLastPort = 255;

// The "Com n Device" values of the settings file, by port number.
std::map<int, std::string> MappedDevices() {
  std::map<int, std::string> mapped;
  const std::string text = IniFile(SettingsFilePath(ExecutableDirectory())).Text();
  for (int n = 1; n <= kLastPort; ++n)
    if (auto value = FindIniValue(text, "Communications", PortDeviceKey(static_cast<uint16_t>(n)));
        value && !value->empty())
      mapped[n] = *value;
  return mapped;
}

std::string JsonOrNull(const std::string& value) { return value.empty() ? "null" : JsonString(value); }
}  // namespace

int PortsCommand(const std::vector<std::string>& rawArgs) {
  Arguments args = ParseArguments(rawArgs, {"--sysfs-root", "--dev-root"}, {"--json"});
  NoPositional(args, "ports");
  PortRoots roots;
  if (args.Has("--sysfs-root")) roots.sys = RequiredPath(args, "--sysfs-root");
  if (args.Has("--dev-root")) roots.dev = RequiredPath(args, "--dev-root");
  const std::map<int, std::string> mapped = MappedDevices();

  struct Row {
    int port = 0;
    SystemPort system;
  };
  std::vector<Row> rows;
  for (const SystemPort& p : ListSystemPorts(roots)) {
    Row row{0, p};
    for (const auto& [n, device] : mapped)
      if (device == p.device || SameDevice(device, p.device)) {
        row.port = n;
        break;
      }
    rows.push_back(row);
  }
  for (const auto& [n, device] : mapped)
    if (device.rfind("rfc2217://", 0) == 0) {
      Row row{n, {}};
      row.system.device = device;
      row.system.kind = "network";
      rows.push_back(row);
    }

  if (args.Has("--json")) {
    std::string json = "[";
    for (size_t i = 0; i < rows.size(); ++i) {
      const SystemPort& p = rows[i].system;
      const std::string description = p.kind == "network" ? "network serial line" : p.Description();
      json += std::string(i ? ",\n " : "\n ") + "{\"port\": " +
              (rows[i].port ? std::to_string(rows[i].port) : "null") + ", \"device\": " + JsonString(p.device) +
              ", \"description\": " + JsonTextString(description) +
              ", \"manufacturer\": " + (p.manufacturer.empty() ? "null" : JsonTextString(p.manufacturer)) +
              ", \"serial\": " + JsonOrNull(p.serial) + ", \"vid\": " + JsonOrNull(p.vid) +
              ", \"pid\": " + JsonOrNull(p.pid) + ", \"location\": " + JsonOrNull(p.location) +
              ", \"byId\": " + JsonOrNull(p.byId) + ", \"byPath\": " + JsonOrNull(p.byPath) +
              ", \"access\": " + (p.kind == "network" || p.access ? "true" : "false") + ", \"kind\": " +
              JsonString(p.kind) + "}";
    }
    std::cout << json << (rows.empty() ? "]\n" : "\n]\n");
    return 0;
  }
  if (rows.empty()) std::cout << "no serial port found\n";
  for (const Row& row : rows) {
    const SystemPort& p = row.system;
    const std::string port = row.port ? "COM" + std::to_string(row.port) : "-";
    std::string line = port + std::string(port.size() < 6 ? 6 - port.size() : 1, ' ') + p.device + "  " +
                       (p.kind == "network" ? "network serial line" : p.Description());
    if (p.kind != "network" && !p.access) line += " (no permission)";
    std::cout << line << "\n";
  }
  return 0;
}
