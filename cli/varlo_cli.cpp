// varlo-cli: preset files and ORB devices from the command line.
//
// The file commands read and write preset files with the program's own
// readers and writers; the device commands use the program's link engine
// and serial port component on the line given by --port (a port number of
// the settings file) or --device (a device path or rfc2217://host:port).
// Every failure is one line on stderr; the exit status is 0 only when all
// that was asked for succeeded, 2 for a command line that cannot be used
// (then the usage follows the line).
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliArguments.h"
#include "cli/DeviceCommands.h"
#include "cli/FileCommands.h"
#include "settings/command_line/CommandLine.h"

namespace {
const char* const kUsage =
    "usage: varlo-cli show FILE [--format mac|equ] [--preset N]\n"
    "       varlo-cli convert IN OUT [--format mac|equ] [--address A] [--preset P] "
    "[--device-name NAME]\n"
    "       varlo-cli settings-file DIR\n"
    "       varlo-cli setting FILE SECTION KEY [VALUE]\n"
    "       varlo-cli ports [--json] [--sysfs-root DIR] [--dev-root DIR]\n"
    "       varlo-cli devices [--addresses A-B] [--json] [LINE]\n"
    "       varlo-cli backup --address N --out DIR [LINE]\n"
    "       varlo-cli restore --address N --from DIR [--preset K] [LINE]\n"
    "       varlo-cli snapshot capture --out DIR [--addresses LIST] [--working-only] [LINE]\n"
    "       varlo-cli snapshot diff DIR [--addresses LIST] [--presets] [--json] [LINE]\n"
    "       varlo-cli snapshot recall DIR [--addresses LIST] [--presets] [--mute-bypass] [--names] [LINE]\n"
    "       varlo-cli response FILE [--format mac|equ] [--csv OUT | --svg OUT]\n"
    "       varlo-cli response --address N [--preset K] [LINE] [--csv OUT | --svg OUT]\n"
    "       varlo-cli fit MEASUREMENT [--target flat|tilt:D|x-curve|FILE] [--range LO-HI]\n"
    "             [--max-boost DB] [--max-cut DB] [--smoothing OCT] [--smoothness W]\n"
    "             [--overshoot-weight W] [--base PRESETFILE] [--out PRESETFILE] [--csv OUT] [--json]\n"
    "       varlo-cli --help | --version\n"
    "LINE is --port N (a port of the settings file) or --device PATH|rfc2217://HOST:PORT;\n"
    "without it the program's own port setting is used. LIST is 1-16, 1,2,17 or a mix.\n";

// One line, whatever the file names and device messages hold.
std::string OneLine(std::string message) {
  for (char& c : message)
    if (c == '\n' || c == '\r') c = ' ';
  return message;
}
}  // namespace

int main(int argc, char** argv) {
  if (AnswersHelpOrVersion(argc, argv, "varlo-cli", kUsage)) return 0;
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    if (args.empty()) throw UsageError("no command given");
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "show") return ShowCommand(args);
    if (command == "convert") return ConvertCommand(args);
    if (command == "settings-file") return SettingsFileCommand(args);
    if (command == "setting") return SettingCommand(args);
    if (command == "ports") return PortsCommand(args);
    if (command == "devices") return DevicesCommand(args);
    if (command == "backup") return BackupCommand(args);
    if (command == "restore") return RestoreCommand(args);
    if (command == "snapshot") return SnapshotCommand(args);
    if (command == "response") return ResponseCommand(args);
    if (command == "fit") return FitCommand(args);
    if (command == "help") {
      std::cout << kUsage;
      return 0;
    }
    throw UsageError("unknown command \"" + command + "\"");
  } catch (const UsageError& e) {
    return BadUsage("varlo-cli", OneLine(e.what()), kUsage);
  } catch (const std::exception& e) {
    std::cerr << "varlo-cli: " << OneLine(e.what()) << "\n";
    return 1;
  }
}
