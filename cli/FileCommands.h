#pragma once
// The varlo-cli commands on files: show, convert, settings-file, setting.
// Each returns the exit status; failures are thrown as std::runtime_error
// (one line), usage errors as UsageError.
#include <string>
#include <vector>

#include "cli/CliArguments.h"
#include "eq/PresetFormats.h"

int ShowCommand(const std::vector<std::string>& args);
int ConvertCommand(const std::vector<std::string>& args);
int SettingsFileCommand(const std::vector<std::string>& args);
int SettingCommand(const std::vector<std::string>& args);
// The 29 bands fitted to a measurement file (`eq/CurveFit.h`).
int FitCommand(const std::vector<std::string>& args);

// The preset format of FILE: --format mac|equ when given, else the one its
// extension names (.v95 and .vrl in any case: Mac; anything else: .equ).
PresetFormat FormatOption(const Arguments& args, const std::string& path);
