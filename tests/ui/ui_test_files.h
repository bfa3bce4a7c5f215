// Picture files for the window tests, written with Qt's own BMP writer into a temporary folder.
#pragma once

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "app/live_preview.h"

namespace vorlino::test {

// The window tests run a second time with the live preview off by default
// (VORLINO_TEST_LIVE_PREVIEW=0): the window must then behave exactly as without it.
inline const bool kLivePreviewChosen = [] {
  const char* choice = std::getenv("VORLINO_TEST_LIVE_PREVIEW");
  if (choice != nullptr && std::strcmp(choice, "0") == 0) LivePreviewDefault() = false;
  return true;
}();

using PixelFunction = std::function<QRgb(int x, int y)>;

// Writes a w x h 24-bit BMP named `name` in `folder` and returns its full path.
inline QString WriteBmp(const QString& folder, const QString& name, int w, int h,
                        const PixelFunction& pixel) {
  QImage image(w, h, QImage::Format_RGB888);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) image.setPixel(x, y, pixel(x, y));
  }
  const QString path = QDir(folder).filePath(name);
  image.save(path, "BMP");
  return path;
}

inline QString WriteBmp(const QString& folder, const QString& name, int w, int h, QRgb colour) {
  return WriteBmp(folder, name, w, h, [colour](int, int) { return colour; });
}

// A file that no decoder accepts under its extension.
inline QString WriteDamaged(const QString& folder, const QString& name) {
  const QString path = QDir(folder).filePath(name);
  QFile file(path);
  if (file.open(QIODevice::WriteOnly)) file.write("BM this is not a bitmap at all");
  return path;
}

}  // namespace vorlino::test
