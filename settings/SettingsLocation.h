#pragma once
// Where the settings file Varlo95.ini lives: in the program's own directory,
// or, where that directory cannot be written (a system-wide install), in the
// user's configuration directory $XDG_CONFIG_HOME/Varlo95/ (by default
// ~/.config/Varlo95/).
#include <functional>
#include <optional>
#include <string>

inline constexpr const char* kSettingsFileName = "Varlo95.ini";

// The environment the choice depends on.
struct SettingsEnvironment {
  std::optional<std::string> xdgConfigHome;  // $XDG_CONFIG_HOME
  std::optional<std::string> home;           // $HOME

  static SettingsEnvironment FromProcess();
};

// The directory holding the running program's executable, with a trailing
// "/"; empty when it cannot be found.
std::string ExecutableDirectory();

// The per-user directory for the settings file, with a trailing "/":
// $XDG_CONFIG_HOME/Varlo95/ when that variable holds an absolute path, else
// $HOME/.config/Varlo95/; nothing when neither is usable.
std::optional<std::string> UserSettingsDirectory(const SettingsEnvironment& env);

// Whether a new file can be created in dir (tried, not guessed from
// permission bits, which do not bind root and miss read-only mounts). An
// empty dir is the current directory.
bool DirectoryIsWritable(const std::string& dir);

// The settings file to read and write, given the program's directory (with
// its trailing separator):
// 1. the per-user file, when it exists;
// 2. else programDir + "Varlo95.ini", when programDir can be written;
// 3. else the per-user file. Its directory is created, and an existing file
//    of the program's directory is copied there first, so its keys (port
//    devices, keys of other versions) are kept. If that copy cannot be made,
//    the program directory's file is returned so it is still read.
// dirWritable decides step 2; it is DirectoryIsWritable but for tests.
std::string SettingsFilePath(
    const std::string& programDir, const SettingsEnvironment& env,
    const std::function<bool(const std::string&)>& dirWritable = DirectoryIsWritable);
// The same with the process's environment.
std::string SettingsFilePath(const std::string& programDir);
