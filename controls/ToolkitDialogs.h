#pragma once
// Qt's own file, print and page set-up dialogs, shown where no desktop
// theme supplies native ones (a bare X server, offscreen). They lay
// themselves out in the application's font, which grows with the screen,
// but open at a size that does not follow it, cutting their labels, list
// boxes and file list. Fitting gives them the program's scale.
#include <QSize>

class QDialog;

// Qt's file dialog on the design screen (800 by 600): room for its file
// list besides its controls.
inline constexpr QSize kFileDialogDesignSize(560, 340);

// Sizes dialog each time it shows as the toolkit's own window: at least
// its size hint and designSize grown by the application's scale (the
// forms' factor), within 9/10 of its screen's available area, then
// centred over its parent as dialogs are. A native dialog of a desktop
// theme stays as the desktop shows it.
void FitToolkitDialog(QDialog& dialog, QSize designSize = QSize());
