#pragma once
// The device layer under the serial port component: one open serial line,
// either a local port through termios or a network line through RFC 2217.
// Every operation may be called from any thread; the component calls
// WaitEvent from its dispatch thread, Write from its output thread and the
// rest from the user-interface thread.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

enum class ParityKind : int { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };

struct LineSettings {
  int32_t baud = 19200;
  ParityKind parity = ParityKind::None;
  int dataBits = 8;  // 5 to 8
  int stopBits = 1;  // 1 or 2 (with 5 data bits, 2 means one and a half)
  bool operator==(const LineSettings&) const = default;
};

// Modem line bits, laid out as in the component's modem status byte.
enum : uint8_t {
  kLineCTS = 0x10,
  kLineDSR = 0x20,
  kLineRI = 0x40,
  kLineDCD = 0x80,
  kLineStates = 0xF0,
};

// Events reported by WaitEvent (a bit set).
enum : unsigned {
  kEventRxChar = 1,   // received bytes are waiting to be read
  kEventModem = 2,    // a modem line changed
  kEventLineError = 4,
  kEventGone = 8,     // the line went away (cable pulled, connection dropped)
};

class SerialDevice {
 public:
  virtual ~SerialDevice() = default;

  // Line settings; SetLine raises EInOutError when the line refuses them.
  virtual LineSettings GetLine() = 0;
  virtual void SetLine(const LineSettings& settings) = 0;

  virtual void SetDTR(bool on) = 0;
  virtual void SetRTS(bool on) = 0;

  // Current line states (kLine* bits). Lines that the device does not have
  // (a pseudo-terminal) read as off.
  virtual uint8_t ModemLines() = 0;
  // False when the device has no modem lines at all.
  virtual bool HasModemLines() = 0;
  // Lines (kLine* bits) that changed since the last call, a line that went
  // both ways between two readings of ModemLines() included; 0 where the
  // device cannot tell. A device that answers a handshake by letting DSR
  // fall and raising it again at once is seen that way.
  virtual uint8_t TakeLineChanges() { return 0; }

  // Blocks until an event, Abort() or the time-out (milliseconds, -1 for
  // none); returns the events (0 on time-out or after Abort). Once the line
  // has gone, returns kEventGone once and then behaves as aborted, never
  // spinning.
  virtual unsigned WaitEvent(int timeoutMs) = 0;

  // Reads what has arrived, up to max bytes, without blocking.
  virtual size_t Read(uint8_t* buffer, size_t max) = 0;

  // Writes all bytes, waiting at most timeoutMs; returns the count written.
  // A line that has gone accepts and drops everything.
  virtual size_t Write(const uint8_t* data, size_t count, int timeoutMs) = 0;

  // Discards output not yet sent.
  virtual void PurgeTx() = 0;

  // Wakes every blocked WaitEvent and Write for good; used before closing.
  virtual void Abort() = 0;

  // True once the line went away.
  virtual bool Gone() = 0;
};

// Opens `name` exclusively: a device path such as /dev/ttyUSB0, or
// rfc2217://host:port. Raises the component's open errors (EBadId when there
// is no such device, EAlreadyOpen when another process holds it,
// EInOutError/EOutOfMemory otherwise).
std::unique_ptr<SerialDevice> OpenSerialDevice(const std::string& name);

// Opens a local port (termios) / a network line (RFC 2217 client).
std::unique_ptr<SerialDevice> OpenTermiosDevice(const std::string& path);
std::unique_ptr<SerialDevice> OpenRfc2217Device(const std::string& hostPort);

// What testing a port found.
enum class PortAvailability {
  Missing,       // no such device (or no serial port there)
  Available,     // it can be opened
  InUse,         // it exists, but another process holds it (found on opening)
  NoPermission,  // it exists, but the user may not open it
  Untested,      // a network line: listed without connecting to it
};

// Tests a port without changing it and without blocking. A local port is
// not opened (that would raise DTR, the bus's handshake line): a terminal
// device with hardware behind it that the user may read and write is
// Available; whether another program holds it is found when it is opened
// for use. A network line is not
// connected to (that would take the line from its owner, and a silent
// address would hold the caller for seconds): a well-formed host:port is
// Untested, a malformed one Missing.
PortAvailability ProbePort(const std::string& name);
PortAvailability ProbeTermiosPort(const std::string& path);

// Port validity test: every port that ProbePort does not find Missing.
bool IsPortValid(const std::string& name);
