#pragma once
// Command-line arguments of varlo-cli: positional words and "--name value"
// options, checked against the options a command knows.
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

// A command line that cannot be used as given.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Arguments {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;  // "--name" -> value
  // Options given without a value (from the `flags` set).
  std::set<std::string> flags;

  bool Has(const std::string& name) const { return options.count(name) || flags.count(name); }
};

// Options take one value, as "--name value" or "--name=value"; names in
// `flags` take none. "--" ends the options so that file names may start
// with a dash.
Arguments ParseArguments(const std::vector<std::string>& args, const std::set<std::string>& known,
                         const std::set<std::string>& flags = {});

// The option's value as a number from min to max; fallback when absent.
int IntegerOption(const Arguments& args, const std::string& name, int fallback, int min, int max);

// A number from min to max, or UsageError naming `what`.
int ParseNumber(const std::string& text, const std::string& what, int min, int max);

// "A-B" or "A": the addresses from A to B.
std::vector<int> ParseAddressRange(const std::string& text, int min, int max);
