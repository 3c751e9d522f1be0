#pragma once
// One serial line to the ORB devices for a command-line run: the link
// engine, the port component and the line queue of the program, driven
// without a window. Each call puts one transaction in the queue, runs it to
// its end and says how it ended, with the engine's own message when it
// failed.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/PA422Messages.h"

class LineQueue;
struct LineOutcome;
class TzkPA422Form;

struct LinkResult {
  bool ok = false;
  // The engine's message ("ORB Not Found.", "ComStat Error -4", ...) when
  // the transaction failed.
  std::string message;
  // Nobody raised DSR for the address: there is no device there.
  bool notFound = false;
  // The line itself went away (the server closed the connection, the
  // device was unplugged): `message` says so, and no later transaction
  // can reach a device either.
  bool lineGone = false;
  // The recalled all-data block (70 data bytes and the status byte) of a
  // successful RecallAllData.
  pa422::Bytes block;
};

// Which line to open: a device path or rfc2217:// address, or a port number
// looked up in the settings file as the program does. Neither: the
// program's own "Com Port" setting.
struct LineChoice {
  std::string device;
  int port = 0;
};

class DeviceSession {
 public:
  // Opens the line; throws std::runtime_error saying why it cannot (the
  // engine's message, put in plain words where it would mislead).
  explicit DeviceSession(const LineChoice& line);
  ~DeviceSession();
  DeviceSession(const DeviceSession&) = delete;
  DeviceSession& operator=(const DeviceSession&) = delete;

  // The device path or address that was opened.
  const std::string& DeviceName() const { return deviceName_; }

  LinkResult RecallAllData(int address, int preset);
  LinkResult TransmitAllData(int address, int preset, const pa422::Bytes& block);
  LinkResult LockPreset(int address, int preset);
  LinkResult UnlockPreset(int address, int preset);
  LinkResult SetDeviceName(int address, const std::string& name);

  // For the shared device operations (backups, restores) that put their
  // own requests in the queue: the queue, the event loop run until `done`
  // says so, and a request's end put as a LinkResult (with what the engine
  // showed during it).
  LineQueue& Line();
  // False when no transaction ended within the limit: the line is then
  // closed, and nothing more ends.
  bool RunUntil(const std::function<bool()>& done);
  LinkResult ResultOf(const LineOutcome& outcome, bool recall) const;

 private:
  struct Engine;
  // Queues the transaction that `start` begins and runs the event loop
  // until the queue reports its end.
  LinkResult Run(std::function<void(TzkPA422Form&)> start, bool recall = false);

  std::unique_ptr<Engine> engine_;
  std::string deviceName_;
};

using pa422::BlockByte;
using pa422::BlockName;
