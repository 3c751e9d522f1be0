#pragma once
// The varlo-cli commands that talk to devices on the line: devices,
// backup, restore and response. Each returns the exit status; failures that end the
// run are thrown as std::runtime_error (one line), usage errors as
// UsageError.
#include <string>
#include <vector>

int DevicesCommand(const std::vector<std::string>& args);
int BackupCommand(const std::vector<std::string>& args);
int RestoreCommand(const std::vector<std::string>& args);
// snapshot capture|diff|recall: the whole bus (exit 1 when a device erred
// or, for diff and recall, any device in scope does not match).
int SnapshotCommand(const std::vector<std::string>& args);
// response FILE or response --address N: the computed response (it reads a
// file or a device, so it takes the line options only with --address).
int ResponseCommand(const std::vector<std::string>& args);
// ports: the serial ports of this system (no line is opened, no port either).
int PortsCommand(const std::vector<std::string>& args);
