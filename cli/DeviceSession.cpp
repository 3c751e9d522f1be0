#include "cli/DeviceSession.h"

#include <chrono>
#include <optional>
#include <stdexcept>

#include "link/LineQueue.h"
#include "link/TzkPA422Form.h"
#include "serial/ApdExceptions.h"
#include "serial/EventLoopPoster.h"
#include "settings/SettingsLocation.h"

namespace {
// Longer than the engine's own time-outs (three timers of about two
// seconds each): the engine always ends a transaction before this.
constexpr auto kTransactionLimit = std::chrono::seconds(30);

constexpr const char kNetworkScheme[] = "rfc2217://";

bool IsNetworkLine(const std::string& device) { return device.rfind(kNetworkScheme, 0) == 0; }

// Why the line did not open, as one sentence. The engine's texts for the
// two usual causes are written for the program's own ports and mislead on
// a command line ("Com Port Already Open" for a server that hung up at
// once).
std::string OpenFailure(const std::string& device, const std::string& engineText) {
  const bool network = IsNetworkLine(device);
  if (engineText == "Connect aborted - Com Port Already Open")
    return network ? "the server at " + device +
                         " closed the connection at once (is another client using the line?)"
                   : "cannot open " + device + ": it is in use by another program";
  if (engineText == "Connect aborted - Invalid Port")
    return "cannot open " + device + ": " +
           (network ? "nothing accepts connections there (no server, an unknown host or no route)"
                    : "there is no such serial device");
  return "cannot open " + device + ": " + engineText;
}

std::string LineGoneText(const std::string& device) {
  return IsNetworkLine(device)
             ? "the server at " + device + " closed the connection"
             : "the serial device " + device + " has gone away";
}
}  // namespace

// The engine with its queue. Transactions run as background work: their
// failures reach no box and come back with their ends; what the engine
// still shows in a box (a refused request, a handler's exception) is
// collected here.
struct DeviceSession::Engine : MessageBoxes, ExceptionDisplay {
  Engine() : form(loop, *this, *this, [] { return nullptr; }), line(form), owner(line.NewOwner()) {
    // What the engine shows belongs to the transaction that is starting.
    LineEvents events;
    events.started = [this](const LineRequest&) {
      messages.clear();
      lastActivity = std::chrono::steady_clock::now();
    };
    events.ended = [this](const LineRequest&, const LineOutcome&) { lastActivity = std::chrono::steady_clock::now(); };
    line.Subscribe(std::move(events));
  }

  void ShowMessage(const std::string&, const std::string& text, MessageIcon) override {
    messages.push_back(text);
  }
  void ShowException(const std::string& message) override { messages.push_back(message); }

  EventLoopPoster loop;
  std::vector<std::string> messages;
  TzkPA422Form form;
  LineQueue line;
  int owner;
  std::chrono::steady_clock::time_point lastActivity = std::chrono::steady_clock::now();
};

DeviceSession::DeviceSession(const LineChoice& line) : engine_(std::make_unique<Engine>()) {
  TzkPA422Form& form = engine_->form;
  form.ProgramDir = ExecutableDirectory();
  form.FormCreate();  // the port number of the settings file
  form.ApdComPort.SetTracing(tlOff);
  form.ApdComPort.SetLogging(tlOff);
  if (!line.device.empty()) {
    const std::string device = line.device;
    form.ApdComPort.DeviceNameForPort = [device](uint16_t) { return device; };
    form.ApdComPort.SetComNumber(1);
  } else if (line.port > 0) {
    form.ApdComPort.SetComNumber(static_cast<uint16_t>(line.port));
  }
  const uint16_t port = form.ApdComPort.ComNumber();
  if (port == 0)
    throw std::runtime_error("no serial line chosen: give --port N or --device PATH");
  deviceName_ = form.ApdComPort.DeviceNameForPort(port);
  try {
    form.Connect();
  } catch (const std::exception& e) {
    throw std::runtime_error("cannot open " + deviceName_ + ": " + e.what());
  }
  if (!form.Connected) {
    std::string why = engine_->messages.empty() ? "the port did not open" : engine_->messages.front();
    throw std::runtime_error(OpenFailure(deviceName_, why));
  }
}

DeviceSession::~DeviceSession() {
  try {
    engine_->form.Disconnect();
  } catch (const std::exception&) {
    // Closing cannot fail in a way the caller could still act on.
  }
}

LineQueue& DeviceSession::Line() { return engine_->line; }

bool DeviceSession::RunUntil(const std::function<bool()>& done) {
  engine_->lastActivity = std::chrono::steady_clock::now();
  while (!engine_->loop.RunUntil(done, std::chrono::milliseconds(500))) {
    if (std::chrono::steady_clock::now() - engine_->lastActivity < kTransactionLimit) continue;
    // Nothing that was asked may start or end after it was given up.
    engine_->line.Withdraw(engine_->owner);
    engine_->form.Disconnect();  // ends a running transaction here
    return false;
  }
  return true;
}

LinkResult DeviceSession::ResultOf(const LineOutcome& outcome, bool recall) const {
  const TzkPA422Form& form = engine_->form;
  LinkResult result;
  if (!outcome.started && engine_->messages.empty()) {
    // Refused without a message: the port closed under us.
    result.message = form.ApdComPort.LineGone() ? LineGoneText(deviceName_) : "the serial line is closed";
    result.lineGone = form.ApdComPort.LineGone();
    return result;
  }
  if (outcome.succeeded && engine_->messages.empty()) {
    result.ok = true;
    result.block = outcome.data;
    if (recall && result.block.size() != static_cast<size_t>(pa422::kAllDataLength + 1)) {
      result.ok = false;
      result.message = "the device sent a block of " + std::to_string(result.block.size()) + " bytes";
    }
    return result;
  }
  if (form.ApdComPort.LineGone()) {
    result.lineGone = true;
    result.message = LineGoneText(deviceName_);
    return result;
  }
  // What the engine showed came first (a refusal, a handler's exception);
  // else the failure's own text.
  result.message = engine_->messages.empty() ? outcome.message : engine_->messages.front();
  result.notFound = result.message == "ORB Not Found.";
  return result;
}

LinkResult DeviceSession::Run(std::function<void(TzkPA422Form&)> start, bool recall) {
  LinkResult result;
  // A line that has gone stays gone: the engine would only wait for its
  // time-out and report "ORB Not Found.".
  if (engine_->form.ApdComPort.LineGone()) {
    result.lineGone = true;
    result.message = LineGoneText(deviceName_);
    return result;
  }
  std::optional<LineOutcome> outcome;
  LineRequest request = BackgroundRequest(engine_->owner, 0, std::move(start));
  request.done = [&outcome](const LineOutcome& ended) { outcome = ended; };
  engine_->line.Submit(std::move(request));
  if (!RunUntil([&] { return outcome.has_value(); })) {
    result.message = "no end of the transaction within 30 s";
    return result;
  }
  return ResultOf(*outcome, recall);
}

LinkResult DeviceSession::RecallAllData(int address, int preset) {
  return Run(
      [=](TzkPA422Form& f) {
        f.PendingEdit = TPendingEdit::None;
        f.RecallAllData(address, preset);
      },
      true);
}

LinkResult DeviceSession::TransmitAllData(int address, int preset, const pa422::Bytes& block) {
  return Run([=](TzkPA422Form& f) { f.TransmitAllData(address, preset, block); });
}

LinkResult DeviceSession::LockPreset(int address, int preset) {
  return Run([=](TzkPA422Form& f) { f.LockPreset(address, preset, pa422::kDevicePassword); });
}

LinkResult DeviceSession::UnlockPreset(int address, int preset) {
  return Run([=](TzkPA422Form& f) { f.UnlockPreset(address, preset, pa422::kDevicePassword); });
}

LinkResult DeviceSession::SetDeviceName(int address, const std::string& name) {
  return Run([=](TzkPA422Form& f) { f.SetDeviceName(address, pa422::kDevicePassword, name); });
}

