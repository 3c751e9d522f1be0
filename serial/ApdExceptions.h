#pragma once
// Error classes of the serial port component. Every class carries a numeric
// code and the message text of the component's error table.
#include <stdexcept>
#include <string>

// Base of the component's own errors.
class EAPDException : public std::runtime_error {
 public:
  EAPDException(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
  explicit EAPDException(int code);  // message from the error table
  int ErrorCode() const { return code_; }

 private:
  int code_;
};

#define VARLO_APD_ERROR(Name, Code)                         \
  class Name : public EAPDException {                       \
   public:                                                  \
    static constexpr int kCode = Code;                      \
    Name() : EAPDException(kCode) {}                        \
    explicit Name(const std::string& m) : EAPDException(kCode, m) {} \
  };

VARLO_APD_ERROR(EBadArgument, 1002)
VARLO_APD_ERROR(EBadId, 2001)
VARLO_APD_ERROR(EByteSize, 2003)
VARLO_APD_ERROR(EDefault, 2004)
VARLO_APD_ERROR(EHardware, 2005)
VARLO_APD_ERROR(EMemory, 2006)
VARLO_APD_ERROR(EAlreadyOpen, 2008)
VARLO_APD_ERROR(ENoHandles, 2009)
VARLO_APD_ERROR(ENoPortSelected, 2011)
VARLO_APD_ERROR(ENullApi, 3001)
VARLO_APD_ERROR(EOutputBufferTooSmall, 3006)
VARLO_APD_ERROR(EBufferIsEmpty, 3007)
VARLO_APD_ERROR(EBadTriggerHandle, 5003)
#undef VARLO_APD_ERROR

// Platform input/output error: carries the operating system's error code.
class EInOutError : public std::runtime_error {
 public:
  EInOutError(int errorCode, const std::string& message)
      : std::runtime_error(message), errorCode_(errorCode) {}
  // Message from the error table, else the system's text for the errno value.
  explicit EInOutError(int errorCode);
  int ErrorCode() const { return errorCode_; }

 private:
  int errorCode_;
};

class EOutOfMemory : public std::runtime_error {
 public:
  EOutOfMemory() : std::runtime_error("Insufficient memory") {}
};

// Text of the error table for a code (by magnitude); empty when the table has none.
std::string ApdErrorText(int code);

// The system's message for an errno value with control characters turned
// into blanks and runs of blanks reduced to one.
std::string SystemErrorText(int errnoValue);

// Raises the exception that the component raises for an operating-system
// error while opening `deviceName` (errno value).
[[noreturn]] void RaiseOpenError(int errnoValue, const std::string& deviceName);
