#include "DeviceCommandSupport.h"

#include <fstream>
#include <stdexcept>

#include "EqualizerDocument.h"
#include "PA422Messages.h"

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

std::string DeviceFormName(const std::string& text) { return BlockName(pa422::Name16(text), 1); }

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error("cannot read " + path.string());
  return bytes;
}
