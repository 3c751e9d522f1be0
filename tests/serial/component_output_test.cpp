// Output that the line cannot take at once: a terminal nobody reads fills
// up, part of a block goes out and the rest waits in the component's queue;
// later blocks queue behind it and everything arrives once, in order.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "serial/EventLoopPoster.h"
#include "serial/TApdComPort.h"
#include "testsupport/Pty.h"

namespace {
struct NoExceptions : ExceptionDisplay {
  void ShowException(const std::string& message) override { ADD_FAILURE() << message; }
};

// Everything the master side can read within `ms` of quiet.
std::string Drain(int fd, size_t want, int ms) {
  std::string got;
  char buffer[4096];
  while (got.size() < want) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, ms) <= 0) break;
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    got.append(buffer, static_cast<size_t>(n));
  }
  return got;
}
}  // namespace

TEST(ComponentOutput, BlocksTheLineCannotTakeAtOnceArriveOnceInOrder) {
  Pty pty;
  EventLoopPoster loop;
  NoExceptions exceptions;
  TApdComPort port(loop, exceptions);
  port.DeviceNameForPort = [&](uint16_t) { return pty.slave; };
  port.SetComNumber(1);
  port.SetOpen(true);

  // Numbered 1000-byte blocks until the queue is nearly full: the terminal
  // takes the first ones whole, then part of one, then nothing.
  std::string sent;
  for (int block = 0; port.OutBuffFree() >= 1000 && block < 1000; ++block) {
    std::string bytes(1000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('A' + (block + i / 100) % 26);
    port.PutString(bytes);
    sent += bytes;
  }
  ASSERT_LT(port.OutBuffFree(), 1000) << "the terminal never filled up";

  const std::string got = Drain(pty.master, sent.size(), 2000);
  EXPECT_EQ(got.size(), sent.size());
  EXPECT_TRUE(got == sent) << "bytes out of order or repeated";
  loop.RunUntil([&] { return port.OutBuffFree() == port.OutSize; }, std::chrono::seconds(2));
  EXPECT_EQ(port.OutBuffFree(), port.OutSize);
  port.SetOpen(false);
}
