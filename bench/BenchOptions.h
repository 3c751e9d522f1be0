#pragma once
// The command line of a benchmark: "--name value" options holding numbers
// or text, --help and --version, and a bad option that prints the usage on
// stderr and exits 2, as every command of the project does.
#include <cstdlib>
#include <functional>
#include <map>
#include <string>

#include "settings/command_line/CommandLine.h"

class BenchOptions {
 public:
  BenchOptions(const char* program, const char* usage) : program_(program), usage_(usage) {}

  BenchOptions& Integer(const std::string& name, int& slot, int min) {
    readers_[name] = [&slot, min, name, this](const std::string& text) {
      char* end = nullptr;
      long value = std::strtol(text.c_str(), &end, 10);
      if (text.empty() || *end != '\0' || value < min || value > 1000000000)
        Fail("option " + name + " needs a whole number from " + std::to_string(min));
      slot = static_cast<int>(value);
    };
    return *this;
  }
  BenchOptions& Number(const std::string& name, double& slot) {
    readers_[name] = [&slot, name, this](const std::string& text) {
      char* end = nullptr;
      double value = std::strtod(text.c_str(), &end);
      if (text.empty() || *end != '\0' || !(value >= 0)) Fail("option " + name + " needs a number of 0 or more");
      slot = value;
    };
    return *this;
  }
  BenchOptions& Text(const std::string& name, std::string& slot) {
    readers_[name] = [&slot](const std::string& text) { slot = text; };
    return *this;
  }

  // Reads the arguments into the slots; exits 0 after --help or --version,
  // 2 after anything it cannot use.
  void Parse(int argc, char** argv) {
    if (AnswersHelpOrVersion(argc, argv, program_, usage_)) std::exit(0);
    for (int i = 1; i < argc; ++i) {
      auto reader = readers_.find(argv[i]);
      if (reader == readers_.end()) Fail(std::string("unknown option ") + argv[i]);
      if (i + 1 >= argc) Fail(std::string("option ") + argv[i] + " needs a value");
      reader->second(argv[++i]);
    }
  }

 private:
  [[noreturn]] void Fail(const std::string& error) { std::exit(BadUsage(program_, error, usage_)); }

  const char* program_;
  const char* usage_;
  std::map<std::string, std::function<void(const std::string&)>> readers_;
};
