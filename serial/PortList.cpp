#include "serial/PortList.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {
// A sysfs attribute's first line; empty when there is none.
std::string Attribute(const fs::path& dir, const char* name) {
  std::ifstream in(dir / name);
  std::string value;
  std::getline(in, value);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\r')) value.pop_back();
  return value;
}

fs::path Canonical(const fs::path& p) {
  std::error_code ec;
  fs::path c = fs::canonical(p, ec);
  return ec ? fs::path() : c;
}

// The links of a /dev/serial folder, by the device they lead to.
std::vector<std::pair<fs::path, std::string>> LinksIn(const fs::path& dir) {
  std::vector<std::pair<fs::path, std::string>> links;
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(dir, ec)) {
    const fs::path target = Canonical(e.path());
    if (!target.empty()) links.emplace_back(target, e.path().string());
  }
  std::sort(links.begin(), links.end());
  return links;
}

std::string LinkTo(const std::vector<std::pair<fs::path, std::string>>& links, const fs::path& device) {
  for (const auto& [target, link] : links)
    if (target == device) return link;
  return {};
}
}  // namespace

std::string SystemPort::Description() const {
  if (kind != "usb") return "on-board serial port";
  std::string text = product.empty() ? "USB serial adapter" : product;
  if (!manufacturer.empty()) text += " (" + manufacturer + ")";
  if (!serial.empty()) text += ", serial " + serial;
  if (!location.empty()) text += ", USB " + location;
  return text;
}

const std::string& SystemPort::StableLink() const {
  if (!serial.empty() && !byId.empty()) return byId;
  if (!byPath.empty()) return byPath;
  return device;
}

std::vector<SystemPort> ListSystemPorts(const PortRoots& roots) {
  const fs::path ttys = fs::path(roots.sys) / "class" / "tty";
  const fs::path dev(roots.dev);
  const auto byId = LinksIn(dev / "serial" / "by-id");
  const auto byPath = LinksIn(dev / "serial" / "by-path");
  std::vector<SystemPort> ports;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(ttys, ec)) {
    const fs::path device = Canonical(entry.path() / "device");
    if (device.empty()) continue;  // virtual terminals have no hardware
    SystemPort port;
    port.name = entry.path().filename().string();
    const std::string subsystem = Canonical(device / "subsystem").filename().string();
    fs::path usb;
    if (subsystem == "usb-serial")
      usb = device.parent_path().parent_path();  // port, interface, device
    else if (subsystem == "usb")
      usb = device.parent_path();  // CDC-ACM: the interface itself
    if (!usb.empty()) {
      port.kind = "usb";
      port.vid = Attribute(usb, "idVendor");
      port.pid = Attribute(usb, "idProduct");
      port.product = Attribute(usb, "product");
      port.manufacturer = Attribute(usb, "manufacturer");
      port.serial = Attribute(usb, "serial");
      port.location = usb.filename().string();
    } else {
      // An on-board UART; type 0 is a placeholder with no hardware behind it.
      const std::string type = Attribute(entry.path(), "type");
      if (type.empty() || type == "0") continue;
      port.kind = "on-board";
    }
    port.device = (dev / port.name).string();
    const fs::path node = Canonical(port.device);
    port.byId = LinkTo(byId, node);
    port.byPath = LinkTo(byPath, node);
    port.access = ::faccessat(AT_FDCWD, port.device.c_str(), R_OK | W_OK, AT_EACCESS) == 0;
    ports.push_back(port);
  }
  std::sort(ports.begin(), ports.end(), [](const SystemPort& a, const SystemPort& b) { return a.name < b.name; });
  return ports;
}

bool SameDevice(const std::string& a, const std::string& b) {
  const fs::path ca = Canonical(a);
  return !ca.empty() && ca == Canonical(b);
}
