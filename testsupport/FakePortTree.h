#pragma once
// A fake sysfs and /dev as a system shows its serial ports, for the port
// lister's tests: an FTDI adapter with a serial number, two identical
// adapters without one (their by-id links collide: the last one plugged
// in holds it), a CDC-ACM device, an on-board 16550A, 31 placeholder
// on-board ports, a virtual terminal, and a by-id link whose device is gone.
#include <filesystem>
#include <fstream>
#include <string>

class FakePortTree {
 public:
  explicit FakePortTree(const std::filesystem::path& root) : sys_(root / "sys"), dev_(root / "dev") {
    namespace fs = std::filesystem;
    const fs::path usb = sys_ / "devices/pci0000:00/0000:00:14.0/usb1";
    UsbSerial(usb / "1-1.2", "ttyUSB0", "0403", "6001", "FT232R USB UART", "FTDI", "A6008isP");
    UsbSerial(usb / "1-1.3", "ttyUSB1", "1a86", "7523", "USB Serial", "", "");
    UsbSerial(usb / "1-1.4", "ttyUSB2", "1a86", "7523", "USB Serial", "", "");
    // CDC-ACM: the tty hangs off the interface itself.
    const fs::path acm = usb / "1-2";
    Attr(acm, "idVendor", "2341");
    Attr(acm, "idProduct", "0043");
    Attr(acm, "product", "Arduino Uno");
    Tty("ttyACM0", acm / "1-2:1.0", "usb");
    for (int n = 0; n < 32; ++n)
      Tty("ttyS" + std::to_string(n), sys_ / "devices/platform/serial8250", "platform", n == 0 ? "4" : "0");
    fs::create_directories(sys_ / "class/tty/tty0");  // a virtual terminal: no device
    Link("serial/by-id/usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0", "ttyUSB0");
    Link("serial/by-id/usb-1a86_USB_Serial-if00-port0", "ttyUSB2");  // the last plugged in
    Link("serial/by-id/usb-Gone_Adapter-if00-port0", "ttyUSB9");
    Link("serial/by-path/pci-0000:00:14.0-usb-0:1.2:1.0-port0", "ttyUSB0");
    Link("serial/by-path/pci-0000:00:14.0-usb-0:1.3:1.0-port0", "ttyUSB1");
    Link("serial/by-path/pci-0000:00:14.0-usb-0:1.4:1.0-port0", "ttyUSB2");
  }

  std::string Sys() const { return sys_.string(); }
  std::string Dev() const { return dev_.string(); }

 private:
  static void Attr(const std::filesystem::path& dir, const std::string& name, const std::string& value) {
    std::filesystem::create_directories(dir);
    if (!value.empty()) std::ofstream(dir / name) << value << "\n";
  }
  void UsbSerial(const std::filesystem::path& usbDevice, const std::string& name, const std::string& vid,
                 const std::string& pid, const std::string& product, const std::string& maker,
                 const std::string& serial) {
    Attr(usbDevice, "idVendor", vid);
    Attr(usbDevice, "idProduct", pid);
    Attr(usbDevice, "product", product);
    Attr(usbDevice, "manufacturer", maker);
    Attr(usbDevice, "serial", serial);
    const std::filesystem::path iface = usbDevice / (usbDevice.filename().string() + ":1.0");
    Tty(name, iface / name, "usb-serial");
  }
  // The tty's class entry, its device link and the device file.
  void Tty(const std::string& name, const std::filesystem::path& device, const std::string& subsystem,
           const std::string& type = "") {
    namespace fs = std::filesystem;
    fs::create_directories(device);
    const fs::path bus = sys_ / "bus" / subsystem;
    fs::create_directories(bus);
    if (!fs::exists(fs::symlink_status(device / "subsystem"))) fs::create_directory_symlink(bus, device / "subsystem");
    const fs::path entry = sys_ / "class/tty" / name;
    fs::create_directories(entry);
    fs::create_directory_symlink(device, entry / "device");
    if (!type.empty()) std::ofstream(entry / "type") << type << "\n";
    fs::create_directories(dev_);
    std::ofstream(dev_ / name);
  }
  void Link(const std::string& path, const std::string& target) {
    namespace fs = std::filesystem;
    fs::create_directories((dev_ / path).parent_path());
    fs::create_symlink("../../" + target, dev_ / path);
  }

  std::filesystem::path sys_, dev_;
};
