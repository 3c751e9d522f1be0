#pragma once
// Printing an equalizer window: its client area as a picture, stretched to
// fit one page, one print job per copy, and, when the frame asks for it, a
// drawing below the picture (the response picture). The printer and its
// settings are shared by the whole program, so a printer setup made in one
// window holds for every later print.
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>

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

// A drawing on the printed page into the given rectangle (printer pixels).
using PageDrawing = std::function<void(QPainter& painter, const QRect& area)>;

// Where a drawing below the picture goes on the page: the picture placed
// as FitToPage says (size `placed`, at the top-left corner), then a gap of
// 1/50 of the page's height, then a rectangle as wide as the picture and
// 2/5 of that width high, or less where the page ends; empty when less
// than 1/10 of the width is left.
QRect AreaBelowPicture(QSize placed, QSize page);

// One print job holding one page: the picture stretched by FitToPage to
// the printable area, top-left at the printable area's corner, pixels not
// smoothed; then `below`, when given, drawn into AreaBelowPicture. The
// picture's place and size are the same with or without it. False when
// the job could not be started (error says why).
bool PrintPicturePage(QPrinter& printer, const QImage& picture, QString* error,
                      const PageDrawing& below = {});
