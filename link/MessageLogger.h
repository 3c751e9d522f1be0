#pragma once
// Trace lines for an external logging tool: each line goes, fire and
// forget, as one datagram to the abstract UNIX socket "MESSAGE_LOGGER"
// (watch with `socat -u ABSTRACT-RECV:MESSAGE_LOGGER -`). Without a
// listener a line goes nowhere.
#include <functional>
#include <string>

constexpr size_t kMaxLogMessageLength = 255;

// Sends one text; a text over 255 characters is sent as an empty text.
void LogMessage(const std::string& text);

// LogMessage of the millisecond tick count in decimal followed by the text.
void TraceLine(const std::string& text);

// Sends to another abstract socket name instead (tests); "" restores the default.
void SetMessageLoggerName(const std::string& name);

// Also hands every text to `tap` (tests record trace lines this way);
// nullptr removes it. Called on the thread that logs.
void SetMessageLoggerTap(std::function<void(const std::string&)> tap);
