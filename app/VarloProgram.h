#pragma once
// The program's long-lived objects, created in their fixed order: the
// frame, the options dialog (owning the program options), the link engine
// (owning the serial port component), the com port setup dialog and the
// about box. They live until the program ends; the frame goes first, so
// that it saves the settings while the options still exist.
#include <memory>
#include <string>

#include "app/TMainForm.h"

class LineQueue;

class ExceptionDisplay;
class QtPortSelector;
class UiPoster;

class VarloProgram {
 public:
  // programDir: where the settings file is looked for, with its trailing
  // "/" (the executable's directory in the real program).
  VarloProgram(OperatorMessages& messages, ExceptionDisplay& exceptions, std::string programDir);
  ~VarloProgram();
  VarloProgram(const VarloProgram&) = delete;
  VarloProgram& operator=(const VarloProgram&) = delete;

  LongLivedObjects Objects;
  TMainForm& MainForm() { return *mainForm_; }
  TzkPA422Form& PA422Form() { return *engine_; }

 private:
  std::unique_ptr<UiPoster> poster_;
  std::unique_ptr<TMainForm> mainForm_;
  std::unique_ptr<TOptionsDlg> optionsDlg_;
  std::unique_ptr<TzkPA422Form> engine_;
  std::unique_ptr<LineQueue> line_;
  std::unique_ptr<TComPortDlg> comPortDlg_;
  std::unique_ptr<TAboutBox> aboutBox_;
  std::unique_ptr<QtPortSelector> portSelector_;
};
