#pragma once
// Printing an equalizer window: its client area as a picture, stretched to
// fit one page, one print job per copy. The printer and its settings are
// shared by the whole program, so a printer setup made in one window holds
// for every later print.
#include <QImage>
#include <QSize>
#include <QString>

class QPrinter;
class QWidget;

// The program's one printer. It lives as long as the application object;
// where no printer is installed it starts out printing to a PDF file in the
// home folder, so that printing works without a printer.
QPrinter& SharedPrinter();

// The size of a w by h picture stretched onto a page of printable size
// PW by PH (printer pixels), keeping its proportions:
// a = round(w × PH / h); a < PW gives a by PH, otherwise
// PW by round(h × PW / w). An empty picture or page gives an empty size.
QSize FitToPage(QSize picture, QSize page);

// The window's client area as shown on screen: the window's fill colour,
// then the window and every control drawn over it. One image pixel per
// screen pixel (a device pixel where Qt scales the program itself).
QImage CaptureClientArea(QWidget& window);

// The file a copy goes to when the printer prints into a file: the first
// copy to the chosen file, copy n (n >= 2) beside it as "name-n.ext", so
// that copies do not overwrite each other.
QString CopyOutputFileName(const QString& fileName, int copy);

// One print job holding one page: the picture stretched by FitToPage to
// the printable area, top-left at the printable area's corner, pixels not
// smoothed. False when the job could not be started (error says why).
bool PrintPicturePage(QPrinter& printer, const QImage& picture, QString* error);
