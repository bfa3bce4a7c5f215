// Helpers for the printing tests: a host window, test bitmaps, and reading printed pages back
// through pdftoppm.
#pragma once

#include <QColor>
#include <QDir>
#include <QImage>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <functional>

#include "bitmap/bitmap.h"
#include "print/print_host.h"

namespace vorlino::test {

class FakeHost : public TPrintHost {
 public:
  Bitmap bitmap;
  QString fileName;
  int busyDepth = 0;
  int busyCalls = 0;

  const Bitmap& WorkingBitmap() override { return bitmap; }
  QString CurrentFileName() const override { return fileName; }
  void BeginBusy() override {
    ++busyDepth;
    ++busyCalls;
  }
  void EndBusy() override { --busyDepth; }
};

// A 24-bit bitmap of one colour.
inline Bitmap solidBitmap(int width, int height, QColor colour) {
  Bitmap b(width, height, 24);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* p = b.row(y);
    for (int x = 0; x < width; ++x, p += 3) {
      p[0] = std::uint8_t(colour.blue());
      p[1] = std::uint8_t(colour.green());
      p[2] = std::uint8_t(colour.red());
    }
  }
  return b;
}

inline bool havePdfRenderers() {
  return !QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty() &&
         !QStandardPaths::findExecutable(QStringLiteral("pdftocairo")).isEmpty();
}

enum class Renderer { rdSplash, rdSplashAliased, rdCairo };

// The first page of a PDF as an image at dpi, rendered by pdftoppm (aliased rendering shows
// hairlines as whole pixels) or pdftocairo (whose smoothing shows any seam between adjacent
// pictures).
inline QImage renderPdf(const QString& pdf, int dpi, Renderer renderer) {
  const QString prefix = pdf + QStringLiteral(".page");
  QStringList args = {QStringLiteral("-r"),          QString::number(dpi), QStringLiteral("-png"),
                      QStringLiteral("-singlefile"), QStringLiteral("-f"), QStringLiteral("1"),
                      QStringLiteral("-l"),          QStringLiteral("1")};
  if (renderer == Renderer::rdSplashAliased)
    args << QStringLiteral("-aa") << QStringLiteral("no") << QStringLiteral("-aaVector")
         << QStringLiteral("no");
  args << pdf << prefix;
  const QString tool =
      renderer == Renderer::rdCairo ? QStringLiteral("pdftocairo") : QStringLiteral("pdftoppm");
  if (QProcess::execute(tool, args) != 0) return {};
  QImage page(prefix + QStringLiteral(".png"));
  QFile::remove(prefix + QStringLiteral(".png"));
  return page.convertToFormat(QImage::Format_RGB32);
}

// Where a printer pixel of the printable area lands on a page rendered at dpi.
inline QPointF pagePoint(const QPrinter& printer, QPointF device, int dpi) {
  const QRect paint = printer.pageLayout().paintRectPixels(printer.resolution());
  return (QPointF(paint.topLeft()) + device) * dpi / printer.resolution();
}

// The bounding box of the pixels for which `match` holds.
inline QRect boundsOf(const QImage& image, const std::function<bool(QRgb)>& match) {
  int left = image.width(), top = image.height(), right = -1, bottom = -1;
  for (int y = 0; y < image.height(); ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if (!match(row[x])) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

inline bool isDark(QRgb c) {
  return qRed(c) < 96 && qGreen(c) < 96 && qBlue(c) < 96;
}
inline bool isWhite(QRgb c) {
  return qRed(c) > 235 && qGreen(c) > 235 && qBlue(c) > 235;
}
inline bool near(QRgb c, QColor want, int tolerance) {
  return std::abs(qRed(c) - want.red()) <= tolerance &&
         std::abs(qGreen(c) - want.green()) <= tolerance &&
         std::abs(qBlue(c) - want.blue()) <= tolerance;
}

// Whether a dark pixel lies within radius of p.
inline bool darkNear(const QImage& image, QPointF p, int radius) {
  const int cx = qRound(p.x()), cy = qRound(p.y());
  for (int y = cy - radius; y <= cy + radius; ++y)
    for (int x = cx - radius; x <= cx + radius; ++x)
      if (image.rect().contains(x, y) && isDark(image.pixel(x, y))) return true;
  return false;
}

}  // namespace vorlino::test
