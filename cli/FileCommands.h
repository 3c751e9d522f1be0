#pragma once
// The varlo-cli commands on files: show, convert, settings-file, setting.
// Each returns the exit status; failures are thrown as std::runtime_error
// (one line), usage errors as UsageError.
#include <string>
#include <vector>

int ShowCommand(const std::vector<std::string>& args);
int ConvertCommand(const std::vector<std::string>& args);
int SettingsFileCommand(const std::vector<std::string>& args);
int SettingCommand(const std::vector<std::string>& args);
