#include "serial/TermiosLine.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "serial/ApdExceptions.h"

namespace {

struct BaudCode {
  int32_t baud;
  speed_t speed;
};

// Rates with a termios code; the higher ones exist on Linux but not everywhere.
constexpr BaudCode kBaudCodes[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B500000
    {500000, B500000},
#endif
#ifdef B576000
    {576000, B576000},
#endif
#ifdef B921600
    {921600, B921600},
#endif
#ifdef B1000000
    {1000000, B1000000},
#endif
#ifdef B1152000
    {1152000, B1152000},
#endif
#ifdef B1500000
    {1500000, B1500000},
#endif
#ifdef B2000000
    {2000000, B2000000},
#endif
};

[[noreturn]] void Refuse(const std::string& what) {
  throw EInOutError(EINVAL, what + " is not supported by the serial port");
}

}  // namespace

std::optional<speed_t> SpeedForBaud(int32_t baud) {
  for (const BaudCode& c : kBaudCodes)
    if (c.baud == baud) return c.speed;
  return std::nullopt;
}

int32_t BaudForSpeed(speed_t speed) {
  for (const BaudCode& c : kBaudCodes)
    if (c.speed == speed) return c.baud;
  return 0;
}

void MakeRaw(termios& t) {
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                      ICRNL | IXON | IXOFF | IXANY | INPCK);
#ifdef IUCLC
  t.c_iflag &= ~static_cast<tcflag_t>(IUCLC);
#endif
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
#ifdef CRTSCTS
  t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
  t.c_cflag |= CS8 | CLOCAL | CREAD;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
}

void ApplyLine(termios& t, const LineSettings& s) {
  std::optional<speed_t> speed = SpeedForBaud(s.baud);
  if (!speed) Refuse("Baud rate " + std::to_string(s.baud));

  tcflag_t size = 0;
  switch (s.dataBits) {
    case 5: size = CS5; break;
    case 6: size = CS6; break;
    case 7: size = CS7; break;
    case 8: size = CS8; break;
    default: Refuse(std::to_string(s.dataBits) + " data bits");
  }
  if (s.stopBits != 1 && s.stopBits != 2) Refuse(std::to_string(s.stopBits) + " stop bits");

  tcflag_t parity = 0;
  switch (s.parity) {
    case ParityKind::None: break;
    case ParityKind::Odd: parity = PARENB | PARODD; break;
    case ParityKind::Even: parity = PARENB; break;
#ifdef CMSPAR
    // Stick parity: the parity bit is always PARODD's value (1 = mark).
    case ParityKind::Mark: parity = PARENB | PARODD | CMSPAR; break;
    case ParityKind::Space: parity = PARENB | CMSPAR; break;
#endif
    default: Refuse("This parity");
  }

  tcflag_t cleared = CSIZE | CSTOPB | PARENB | PARODD;
#ifdef CMSPAR
  cleared |= CMSPAR;
#endif
  t.c_cflag = (t.c_cflag & ~cleared) | size | parity | (s.stopBits == 2 ? CSTOPB : 0);
  cfsetispeed(&t, *speed);
  cfsetospeed(&t, *speed);
}

LineSettings ReadLine(const termios& t) {
  LineSettings s;
  s.baud = BaudForSpeed(cfgetospeed(&t));
  switch (t.c_cflag & CSIZE) {
    case CS5: s.dataBits = 5; break;
    case CS6: s.dataBits = 6; break;
    case CS7: s.dataBits = 7; break;
    default: s.dataBits = 8; break;
  }
  s.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
  const bool odd = t.c_cflag & PARODD;
  if (!(t.c_cflag & PARENB)) {
    s.parity = ParityKind::None;
#ifdef CMSPAR
  } else if (t.c_cflag & CMSPAR) {
    s.parity = odd ? ParityKind::Mark : ParityKind::Space;
#endif
  } else {
    s.parity = odd ? ParityKind::Odd : ParityKind::Even;
  }
  return s;
}

bool SameTermios(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && a.c_cc[VMIN] == b.c_cc[VMIN] &&
         a.c_cc[VTIME] == b.c_cc[VTIME] && cfgetispeed(&a) == cfgetispeed(&b) &&
         cfgetospeed(&a) == cfgetospeed(&b);
}
