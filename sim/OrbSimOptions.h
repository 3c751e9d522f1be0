#pragma once
// orbsim's command line.
#include <optional>
#include <string>
#include <vector>

#include "sim/DeviceBus.h"

struct OrbSimOptions {
  std::string listen = "127.0.0.1:0";
  std::string control = "127.0.0.1:0";
  BusConfig bus;
};

constexpr const char* kOrbSimUsage =
    "usage: orbsim [--listen HOST:PORT] [--control HOST:PORT] [--devices A,B,...|none]\n"
    "              [--state FILE] [--log FILE] [--latency-ms N] [--no-pacing]\n"
    "              [--store-moves]\n"
    "       orbsim --help | --version\n";

// The options after the program name; nothing, with `error` set, when they
// are not valid.
std::optional<OrbSimOptions> ParseOrbSimOptions(const std::vector<std::string>& args, std::string& error);

// "1,2,5" -> addresses 1..240, each once; "none" -> no devices.
std::optional<std::vector<uint8_t>> ParseDeviceList(const std::string& text);
