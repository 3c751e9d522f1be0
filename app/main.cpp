// Varlo95: controls ORB digital graphic equalizers over one serial line.
// Reads no command-line arguments of its own.
#include "app/RunVarlo95.h"
#include "app/TMainForm.h"
#include "eqwindow/TMDIChild.h"

int main(int argc, char** argv) {
  return RunVarlo95(argc, argv, [](TMainForm& f) { return new TMDIChild(f); });
}
