#pragma once
// What the serial port component needs from the user interface. The desktop
// program implements these with its event loop and dialogs; headless tools
// and tests use EventLoopPoster and simple stand-ins.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Hands work to the user-interface thread.
class UiPoster {
 public:
  virtual ~UiPoster() = default;
  // Runs `task` on the user-interface thread and waits until it has
  // returned, at most timeoutMs. Returns false when the wait timed out; the
  // task still runs (or goes on running) on the user-interface thread.
  virtual bool PostAndWait(std::function<void()> task, int timeoutMs) = 0;
  // Called on the user-interface thread: runs `task` there once `ms`
  // milliseconds have passed, while the thread goes on with other work
  // meanwhile (a timed wait that freezes nothing).
  virtual void PostAfter(int ms, std::function<void()> task) = 0;
};

// Shows an exception that escaped an event handler (the application's
// default exception display).
class ExceptionDisplay {
 public:
  virtual ~ExceptionDisplay() = default;
  virtual void ShowException(const std::string& message) = 0;
};

// The Select Port dialog: lists the valid ports and lets the operator pick
// one. Returns the chosen port number, or nothing when cancelled.
class PortSelector {
 public:
  virtual ~PortSelector() = default;
  virtual std::optional<uint16_t> SelectPort() = 0;
};
