#pragma once
// The program's entry: sets the application up, creates the long-lived
// objects, shows the frame and runs the event loop until the frame closes.
#include <functional>

class VarloProgram;

// onShown, when given, runs once the frame is shown and the event loop is
// idle (the start-up benchmark measures there).
int RunVarlo95(int argc, char** argv, const std::function<void(VarloProgram&)>& onShown = {});
