#pragma once
// What every command-line program of Varlo 95 does with its arguments:
// --help prints the usage on standard output and exits 0, --version prints
// the program's name and version, and a bad option or argument prints the
// usage on standard error and exits 2. Other failures exit 1.
#include <cstdio>
#include <cstring>
#include <string>

#include "settings/VarloVersion.h"

inline constexpr int kExitUsage = 2;

// When the arguments (before any "--") hold --help or --version, prints
// what it asks for and returns true: the program then exits 0.
inline bool AnswersHelpOrVersion(int argc, char** argv, const char* program, const char* usage) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) return false;
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(usage, stdout);
      return true;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("%s %s\n", program, kVarloVersion);
      return true;
    }
  }
  return false;
}

// Prints "<program>: <error>" and the usage on standard error; returns the
// exit status for a bad command line.
inline int BadUsage(const char* program, const std::string& error, const char* usage) {
  std::fprintf(stderr, "%s: %s\n%s", program, error.c_str(), usage);
  return kExitUsage;
}
