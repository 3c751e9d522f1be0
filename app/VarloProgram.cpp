#include "app/VarloProgram.h"

#include <QApplication>
#include <QPointer>

#include "app/AboutBox.h"
#include "app/ComPortDlg.h"
#include "app/ComSelectForm.h"
#include "app/OptionsDlg.h"
#include "app/QtUiPoster.h"
#include "link/LineQueue.h"
#include "link/TzkPA422Form.h"
#include "serial/PortNames.h"
#include "settings/IniFile.h"

VarloProgram::VarloProgram(OperatorMessages& messages, ExceptionDisplay& exceptions,
                           std::string programDir)
    : poster_(std::make_unique<QtUiPoster>(qApp)) {
  mainForm_ = std::make_unique<TMainForm>(Objects, messages, std::move(programDir));

  optionsDlg_ = std::make_unique<TOptionsDlg>(messages);
  Objects.OptionsDlg = optionsDlg_.get();
  TMainForm* frame = mainForm_.get();
  optionsDlg_->MaxBandExcursion = [frame] { return frame->MaxBandExcursion; };
  optionsDlg_->StartLayoutTimer = [frame] { frame->Timer1.start(); };

  QPointer<TMainForm> activeFrame(frame);
  engine_ = std::make_unique<TzkPA422Form>(*poster_, exceptions, messages, [activeFrame] {
    EqualizerWindow* w = activeFrame ? activeFrame->ActiveEqualizerWindow() : nullptr;
    return w ? &w->Notifications() : nullptr;
  });
  Objects.PA422Form = engine_.get();
  // Every device request of the program waits its turn here.
  line_ = std::make_unique<LineQueue>(*engine_);
  Objects.Line = line_.get();
  frame->WatchLine();
  engine_->FormCreate();
  // Port numbers map to devices through the frame's settings file.
  auto deviceForPort = [frame](uint16_t n) { return frame->DeviceForPortNumber(n); };
  engine_->ApdComPort.DeviceNameForPort = deviceForPort;
  portSelector_ = std::make_unique<QtPortSelector>(deviceForPort, &messages);
  portSelector_->Roots = [frame] { return frame->PortTreeRoots; };
  portSelector_->IsMapped = [frame](uint16_t n) { return frame->PortMapped(n); };
  portSelector_->MapPort = [frame](uint16_t n, const std::string& device) { return frame->MapPort(n, device); };
  engine_->ApdComPort.SelectPortDialog = portSelector_.get();

  comPortDlg_ = std::make_unique<TComPortDlg>();
  Objects.ComPortDlg = comPortDlg_.get();
  aboutBox_ = std::make_unique<TAboutBox>();
  Objects.AboutBox = aboutBox_.get();
}

VarloProgram::~VarloProgram() {
  // The frame's destruction saves the settings: the options must still live.
  mainForm_.reset();
  Objects.MainForm = nullptr;
  aboutBox_.reset();
  comPortDlg_.reset();
  line_.reset();
  Objects.Line = nullptr;
  // Closing the port writes the trace and log files.
  engine_.reset();
  Objects.PA422Form = nullptr;
  portSelector_.reset();
  optionsDlg_.reset();
  Objects.OptionsDlg = nullptr;
}
