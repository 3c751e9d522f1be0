#include "cli/CliArguments.h"

#include <charconv>

Arguments ParseArguments(const std::vector<std::string>& args, const std::set<std::string>& known,
                         const std::set<std::string>& flags) {
  Arguments parsed;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      parsed.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    std::string name = arg, value;
    size_t equals = arg.find('=');
    if (equals != std::string::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
    }
    if (flags.count(name)) {
      if (equals != std::string::npos) throw UsageError("option " + name + " takes no value");
      parsed.flags.insert(name);
      continue;
    }
    if (!known.count(name)) throw UsageError("unknown option " + name);
    if (equals == std::string::npos) {
      if (i + 1 >= args.size()) throw UsageError("option " + name + " needs a value");
      value = args[++i];
    }
    if (parsed.options.count(name)) throw UsageError("option " + name + " given twice");
    parsed.options[name] = value;
  }
  return parsed;
}

int ParseNumber(const std::string& text, const std::string& what, int min, int max) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < min ||
      value > max)
    throw UsageError(what + " needs a number from " + std::to_string(min) + " to " +
                     std::to_string(max) + ", not \"" + text + "\"");
  return value;
}

int IntegerOption(const Arguments& args, const std::string& name, int fallback, int min, int max) {
  auto it = args.options.find(name);
  if (it == args.options.end()) return fallback;
  return ParseNumber(it->second, "option " + name, min, max);
}

std::vector<int> ParseAddressRange(const std::string& text, int min, int max) {
  const size_t dash = text.find('-');
  const std::string what = "address range";
  int first = ParseNumber(text.substr(0, dash), what, min, max);
  int last = dash == std::string::npos ? first : ParseNumber(text.substr(dash + 1), what, min, max);
  if (last < first)
    throw UsageError("address range \"" + text + "\" ends before it starts");
  std::vector<int> addresses;
  for (int a = first; a <= last; ++a) addresses.push_back(a);
  return addresses;
}
