#include "cli/DeviceCommandSupport.h"

#include <stdexcept>

#include "eq/EqualizerDocument.h"
#include "link/PA422Messages.h"

std::set<std::string> WithLineOptions(std::set<std::string> options) {
  options.insert({"--port", "--device"});
  return options;
}

LineChoice LineFrom(const Arguments& args) {
  if (args.options.count("--port") && args.options.count("--device"))
    throw UsageError("give --port or --device, not both");
  LineChoice line;
  if (auto it = args.options.find("--device"); it != args.options.end()) {
    if (it->second.empty()) throw UsageError("option --device needs a device path or address");
    line.device = it->second;
  }
  line.port = IntegerOption(args, "--port", 0, 1, 255);
  return line;
}

int RequiredAddress(const Arguments& args) {
  if (!args.options.count("--address")) throw UsageError("option --address N is required");
  return IntegerOption(args, "--address", 0, 1, kMaxAddress);
}

std::string RequiredPath(const Arguments& args, const std::string& name) {
  auto it = args.options.find(name);
  if (it == args.options.end() || it->second.empty())
    throw UsageError("option " + name + " DIR is required");
  return it->second;
}

void NoPositional(const Arguments& args, const std::string& command) {
  if (!args.positional.empty())
    throw UsageError(command + " takes no argument \"" + args.positional[0] + "\"");
}

bool StoppedAnswering(const LinkResult& r) {
  return r.notFound || r.message == "Timeout - Waiting for DT/ID." ||
         r.message == "Timeout - Waiting for Data from ORB.";
}

std::string FailedWhile(int address, const LinkResult& r, const std::string& what) {
  if (r.lineGone) return r.message + " while " + what + " of address " + std::to_string(address);
  return "device at address " + std::to_string(address) +
         (StoppedAnswering(r) ? " stopped answering" : " failed") + " while " + what + " (" +
         r.message + ")";
}

std::string NoDeviceAt(int address, const DeviceSession& session) {
  return "no device answered at address " + std::to_string(address) + " on " + session.DeviceName() +
         " (is the line connected and the device powered?)";
}


