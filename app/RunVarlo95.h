#pragma once
// The program's entry: sets the application up, creates the long-lived
// objects, shows the frame and runs the event loop until the frame closes.
#include <functional>

class QWidget;
class TMainForm;
class VarloProgram;

// Makes an equalizer window for the frame's New and Open commands.
using EqualizerWindowMaker = std::function<QWidget*(TMainForm&)>;

// onShown, when given, runs once the frame is shown and the event loop is
// idle (the start-up benchmark measures there).
int RunVarlo95(int argc, char** argv, const EqualizerWindowMaker& makeWindow,
               const std::function<void(VarloProgram&)>& onShown = {});
