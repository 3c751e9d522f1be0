#pragma once
// Translation between the component's line settings and POSIX termios.
#include <termios.h>

#include <cstdint>
#include <optional>

#include "serial/SerialDevice.h"

// The termios speed code for a baud rate; none when the system has no code
// for that rate.
std::optional<speed_t> SpeedForBaud(int32_t baud);
// The baud rate of a speed code; 0 when the code is not a known rate.
int32_t BaudForSpeed(speed_t speed);

// Raw binary line: no echo, no signals, no character translation, no flow
// control, modem control lines ignored for opening (CLOCAL), receiver on,
// reads return at once with whatever has arrived (VMIN = VTIME = 0).
void MakeRaw(termios& t);

// Puts the settings into `t`. Raises EInOutError(EINVAL) when the system
// cannot express them (baud rate, data bits, stop bits, parity).
void ApplyLine(termios& t, const LineSettings& settings);
// The settings that `t` describes.
LineSettings ReadLine(const termios& t);

// True when both describe the same line and the same input/output handling.
bool SameTermios(const termios& a, const termios& b);
