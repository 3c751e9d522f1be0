#pragma once
// What the device commands of varlo-cli share: the line options, the
// required options, and how an engine message is told apart.
#include <filesystem>
#include <set>
#include <string>

#include "cli/CliArguments.h"
#include "cli/DeviceSession.h"
#include "eq/BackupFolder.h"

// `options` and the line options --port and --device.
std::set<std::string> WithLineOptions(std::set<std::string> options);
// The line the options choose; UsageError when both are given.
LineChoice LineFrom(const Arguments& args);

int RequiredAddress(const Arguments& args);
std::string RequiredPath(const Arguments& args, const std::string& name);
void NoPositional(const Arguments& args, const std::string& command);

// The engine's messages that mean nobody answered, rather than a device
// that answered with an error.
bool StoppedAnswering(const LinkResult& r);

// Why a transaction with the device at `address` failed while doing
// `what` ("reading preset 4"), as one phrase: the line that went away, or
// the device that stopped answering or failed, with the engine's message.
std::string FailedWhile(int address, const LinkResult& r, const std::string& what);

// The first transaction found nobody at `address` on the session's line.
std::string NoDeviceAt(int address, const DeviceSession& session);


