#include "eqwindow/EqualizerPrinting.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>
#include <cmath>
#include <memory>

#include "controls/ToolkitDialogs.h"
#include "eqwindow/OperatorMessages.h"
#include "eqwindow/TMDIChild.h"

namespace {
// Holds the shared printer; a child of the application object, so the
// printer goes away with the application rather than after it.
class PrinterHolder : public QObject {
 public:
  explicit PrinterHolder(QObject* parent)
      : QObject(parent), printer(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    if (QPrinterInfo::availablePrinters().isEmpty()) {
      printer->setOutputFormat(QPrinter::PdfFormat);
      printer->setOutputFileName(QDir::home().filePath("Varlo95.pdf"));
    }
  }
  std::unique_ptr<QPrinter> printer;
};

int RoundedRatio(int64_t numerator, int64_t denominator) {
  return static_cast<int>(std::llround(static_cast<double>(numerator) / denominator));
}

QString PrinterDescription(const QPrinter& printer) {
  if (!printer.outputFileName().isEmpty()) return "the file \"" + printer.outputFileName() + "\"";
  if (!printer.printerName().isEmpty()) return "the printer \"" + printer.printerName() + "\"";
  return "the printer";
}
}  // namespace

QPrinter& SharedPrinter() {
  static QPointer<PrinterHolder> holder;
  if (!holder) holder = new PrinterHolder(qApp);
  return *holder->printer;
}

QSize FitToPage(QSize picture, QSize page) {
  const int w = picture.width(), h = picture.height();
  const int pw = page.width(), ph = page.height();
  if (w <= 0 || h <= 0 || pw <= 0 || ph <= 0) return {};
  const int a = RoundedRatio(int64_t(w) * ph, h);
  if (a < pw) return {a, ph};
  return {pw, RoundedRatio(int64_t(h) * pw, w)};
}

QImage CaptureClientArea(QWidget& window) {
  // Screen pixels: device pixels where Qt scales the program itself.
  const qreal ratio = window.devicePixelRatioF();
  QImage image(window.size() * ratio, QImage::Format_RGB32);
  if (image.isNull()) return image;
  image.setDevicePixelRatio(ratio);
  image.fill(window.palette().color(QPalette::Window));
  QPainter painter(&image);
  window.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
  return image;
}

QString CopyOutputFileName(const QString& fileName, int copy) {
  if (copy <= 1 || fileName.isEmpty()) return fileName;
  const QFileInfo info(fileName);
  const QString suffix = info.suffix();
  const QString base = suffix.isEmpty() ? info.fileName() : info.completeBaseName();
  QString name = base + "-" + QString::number(copy);
  if (!suffix.isEmpty()) name += "." + suffix;
  return info.dir().filePath(name);
}

QRect AreaBelowPicture(QSize placed, QSize page) {
  if (placed.isEmpty()) return {};
  const int top = placed.height() + page.height() / 50;
  const int height = std::min(RoundedRatio(int64_t(placed.width()) * 2, 5), page.height() - top);
  if (height < placed.width() / 10) return {};
  return QRect(0, top, placed.width(), height);
}

bool PrintPicturePage(QPrinter& printer, const QImage& picture, QString* error,
                      const PageDrawing& below) {
  QPainter painter;
  if (!painter.begin(&printer)) {
    if (error) *error = "Unable to start a print job on " + PrinterDescription(printer) + ".";
    return false;
  }
  const QSize size = FitToPage(picture.size(), QSize(printer.width(), printer.height()));
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  if (!size.isEmpty()) painter.drawImage(QRect(QPoint(0, 0), size), picture);
  if (below) {
    const QRect area = AreaBelowPicture(size, QSize(printer.width(), printer.height()));
    if (!area.isEmpty()) {
      painter.save();
      below(painter, area);
      painter.restore();
    }
  }
  if (!painter.end()) {
    if (error) *error = "The print job on " + PrinterDescription(printer) + " failed.";
    return false;
  }
  return true;
}

void TMDIChild::PrintEqualizerWindow() {
  QPrinter& printer = SharedPrinter();
  bool accepted;
  if (RunPrintDialog) {
    accepted = RunPrintDialog(printer);
  } else {
    QPrintDialog dialog(&printer, this);
    FitToolkitDialog(dialog);
    accepted = dialog.exec() == QDialog::Accepted;
  }
  if (!accepted) return;

  // Every copy is a job of its own; the printer prints each job once, or
  // the driver would multiply the copies.
  const int copies = std::max(1, printer.copyCount());
  printer.setCopyCount(1);
  const QString fileName = printer.outputFileName();
  // All of the client area, also the part a narrow window has scrolled
  // out of view.
  const QImage picture = CaptureClientArea(*ClientArea);
  // The frame's addition below the picture (the response picture).
  const PageDrawing below = host_.PrintedBelowWindow(CurveNow());

  auto printCopy = [&](int copy) {
    if (!fileName.isEmpty()) printer.setOutputFileName(CopyOutputFileName(fileName, copy));
    QString error;
    const bool printed = PrintPicturePage(printer, picture, &error, below);
    if (!printed) Messages().ShowMessage("Print Error", error.toStdString(), MessageIcon::Error);
    return printed;
  };

  if (printCopy(1) && copies > 1) {
    const std::string question =
        "Do you want to print " + std::to_string(copies - 1) + " more copies?";
    if (Messages().AskYesNo("Confirm", question, MessageIcon::Question)) {
      for (int copy = 2; copy <= copies; ++copy)
        if (!printCopy(copy)) break;
    }
  }
  if (!fileName.isEmpty()) printer.setOutputFileName(fileName);
  printer.setCopyCount(copies);
}

void TMDIChild::PrintSetup1Click() {
  QPrinter& printer = SharedPrinter();
  if (RunPrintSetupDialog) {
    RunPrintSetupDialog(printer);
    return;
  }
  QPageSetupDialog dialog(&printer, this);
  FitToolkitDialog(dialog);
  dialog.exec();
}
