#pragma once
// The serial ports of this system as the user knows them, found in the
// kernel's device tree (sysfs) and the stable links udev makes under
// /dev/serial, without opening any port: opening a tty raises DTR and RTS,
// and on this bus DTR is the host's handshake line, so a listing that
// opened ports would pulse every device on the line.
#include <string>
#include <vector>

struct SystemPort {
  std::string name;    // "ttyUSB0"
  std::string device;  // "/dev/ttyUSB0"
  std::string kind;    // "usb" or "on-board"
  // Empty where the system does not say.
  std::string product, manufacturer, serial, vid, pid;
  std::string location;  // the USB device's bus-port path, "1-1.2"
  std::string byId, byPath;  // the stable links that lead to the device
  // The user may read and write the device file (judged without opening).
  bool access = false;

  // "FT232R USB UART (FTDI), serial A6008isP, USB 1-1.2" or "on-board
  // serial port".
  std::string Description() const;
  // The link to store for it: by-id when the adapter has a serial number
  // (links of adapters without one collide), else by-path, else the
  // device itself.
  const std::string& StableLink() const;
};

// Where the trees are; tests give fake ones.
struct PortRoots {
  std::string sys = "/sys";
  std::string dev = "/dev";
};

// Every port with hardware behind it, by name: USB adapters (usb-serial and
// CDC-ACM) and on-board UARTs; the kernel's placeholder ports (UART type 0)
// are left out.
std::vector<SystemPort> ListSystemPorts(const PortRoots& roots = {});

// Whether two paths lead to the same device file (links followed); false
// when either leads nowhere.
bool SameDevice(const std::string& a, const std::string& b);
