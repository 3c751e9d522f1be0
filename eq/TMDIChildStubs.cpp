// Temporary empty bodies for the window's file, clipboard and printing
// commands, which live in their own files; removed when those arrive.
#include "TMDIChild.h"

void TMDIChild::Open(const QString&, int) {}
void TMDIChild::Save1Click() {}
void TMDIChild::Copy1Click() {}
void TMDIChild::Paste1Click() {}
void TMDIChild::FlatClick() {}
void TMDIChild::PrintEqualizerWindow() {}
void TMDIChild::PrintSetup1Click() {}
