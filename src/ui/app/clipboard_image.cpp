#include "app/clipboard_image.h"

#include <QPainter>
#include <cstring>

#include "view/bitmap_image.h"

namespace vorlino {

QImage BitmapToClipboardImage(const Bitmap& bitmap) {
  if (bitmap.empty()) return {};
  const BitmapArea area = imageOfArea(bitmap, QRect(0, 0, bitmap.width(), bitmap.height()));
  // A soft-transparency result keeps its alpha (the platform offers it as PNG too).
  return area.image.copy(area.source)
      .convertToFormat(bitmap.bitsPerPixel() == 32 ? QImage::Format_ARGB32 : QImage::Format_RGB32);
}

Bitmap ClipboardImageToBitmap(const QImage& image) {
  if (image.isNull()) return {};
  QImage opaque;
  if (image.hasAlphaChannel()) {
    // Transparent pixels often hold black; over white they look as they did where they came from.
    opaque = QImage(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, image);
  } else {
    opaque = image;
  }
  opaque = opaque.convertToFormat(QImage::Format_BGR888);  // blue, green, red: the bitmap's order
  Bitmap bitmap(opaque.width(), opaque.height(), 24);
  const auto rowBytes = static_cast<std::size_t>(opaque.width()) * 3;
  for (int y = 0; y < opaque.height(); ++y)
    std::memcpy(bitmap.row(y), opaque.constScanLine(y), rowBytes);
  return bitmap;
}

}  // namespace vorlino
