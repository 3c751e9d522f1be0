// The port lister on a fake device tree: what each port is, which stable
// link leads to it, which ports are left out, and that listing opens no
// device file.
#include "serial/PortList.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include "testsupport/FakePortTree.h"
#include "testsupport/TempDir.h"

TEST(PortList, PortsAsTheUserKnowsThemWithoutOpeningAny) {
  TempDir dir;
  const FakePortTree tree(dir.Path());
  const int watch = inotify_init1(IN_NONBLOCK);
  ASSERT_GE(watch, 0);
  ASSERT_GE(inotify_add_watch(watch, tree.Dev().c_str(), IN_OPEN), 0);

  const std::vector<SystemPort> ports = ListSystemPorts({tree.Sys(), tree.Dev()});
  char events[4096];
  EXPECT_LT(read(watch, events, sizeof events), 0) << "a device file was opened";
  close(watch);

  std::vector<std::string> names;
  for (const SystemPort& p : ports) names.push_back(p.name);
  // The placeholders ttyS1 to ttyS31 and the virtual terminal are left out.
  EXPECT_EQ(names, (std::vector<std::string>{"ttyACM0", "ttyS0", "ttyUSB0", "ttyUSB1", "ttyUSB2"}));

  const SystemPort& ftdi = ports[2];
  EXPECT_EQ(ftdi.Description(), "FT232R USB UART (FTDI), serial A6008isP, USB 1-1.2");
  EXPECT_EQ(ftdi.device, tree.Dev() + "/ttyUSB0");
  EXPECT_EQ(ftdi.vid + ":" + ftdi.pid, "0403:6001");
  EXPECT_EQ(ftdi.StableLink(), tree.Dev() + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0");
  EXPECT_TRUE(ftdi.access);
  // Without a serial number the by-id link names one of the two at best:
  // each is stored by its USB socket.
  EXPECT_TRUE(ports[3].byId.empty());
  EXPECT_FALSE(ports[4].byId.empty());
  EXPECT_EQ(ports[4].StableLink(), tree.Dev() + "/serial/by-path/pci-0000:00:14.0-usb-0:1.4:1.0-port0");
  EXPECT_EQ(ports[0].Description(), "Arduino Uno, USB 1-2");
  EXPECT_EQ(ports[0].kind, "usb");
  EXPECT_EQ(ports[1].Description(), "on-board serial port");
  EXPECT_EQ(ports[1].StableLink(), tree.Dev() + "/ttyS0");
}
