#pragma once
// Reads printed PDF files back with poppler's tools: the page count and
// size, and where the printed picture lies on a page rendered as grey.
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QSizeF>
#include <QString>

struct PdfInfo {
  int pages = -1;
  QSizeF pageSizePt;  // points (1/72 inch)
};

inline PdfInfo ReadPdfInfo(const QString& path) {
  QProcess p;
  p.start("pdfinfo", {path});
  PdfInfo info;
  if (!p.waitForFinished(10000) || p.exitCode() != 0) return info;
  const QString text = QString::fromUtf8(p.readAllStandardOutput());
  auto pages = QRegularExpression(R"(Pages:\s+(\d+))").match(text);
  if (pages.hasMatch()) info.pages = pages.captured(1).toInt();
  auto size = QRegularExpression(R"(Page size:\s+([\d.]+) x ([\d.]+) pts)").match(text);
  if (size.hasMatch()) info.pageSizePt = QSizeF(size.captured(1).toDouble(), size.captured(2).toDouble());
  return info;
}

// Page 1 rendered at `dpi` as an 8-bit grey image; null on failure.
inline QImage RenderFirstPage(const QString& pdf, const QString& outPrefix, int dpi) {
  QProcess p;
  p.start("pdftoppm", {"-r", QString::number(dpi), "-gray", "-f", "1", "-l", "1", "-singlefile",
                       pdf, outPrefix});
  if (!p.waitForFinished(20000) || p.exitCode() != 0) return {};
  return QImage(outPrefix + ".pgm");
}

// The bounding box of every pixel darker than near-white.
inline QRect InkBounds(const QImage& page) {
  QRect bounds;
  const QImage grey = page.convertToFormat(QImage::Format_Grayscale8);
  for (int y = 0; y < grey.height(); ++y) {
    const uchar* line = grey.constScanLine(y);
    for (int x = 0; x < grey.width(); ++x)
      if (line[x] < 250) bounds |= QRect(x, y, 1, 1);
  }
  return bounds;
}
