#include "view/bitmap_image.h"

#include <algorithm>
#include <vector>

#include "compose/soft_alpha.h"

namespace vorlino {
namespace {

QList<QRgb> colorTable(const Bitmap& bitmap) {
  // Indices beyond a short palette must still map to a colour: pad with black.
  QList<QRgb> table(1 << bitmap.bitsPerPixel(), qRgb(0, 0, 0));
  const auto& palette = bitmap.palette();
  const std::size_t n = std::min<std::size_t>(palette.size(), table.size());
  for (std::size_t i = 0; i < n; ++i)
    table[qsizetype(i)] = qRgb(palette[i].red, palette[i].green, palette[i].blue);
  return table;
}

// Writes the colours of the pixels xs[0..n) of one bitmap row as opaque QRgb values.
void fetchRow(const Bitmap& bitmap, const QList<QRgb>& table, int y, const int* xs, int n,
              QRgb* out) {
  const std::uint8_t* row = bitmap.row(y);
  switch (bitmap.bitsPerPixel()) {
    case 24:
      for (int i = 0; i < n; ++i) {
        const std::uint8_t* p = row + 3 * xs[i];
        out[i] = qRgb(p[2], p[1], p[0]);
      }
      break;
    case 32:
      for (int i = 0; i < n; ++i) {
        const std::uint8_t* p = row + 4 * xs[i];
        out[i] = qRgb(p[2], p[1], p[0]);
      }
      break;
    case 8:
      for (int i = 0; i < n; ++i) out[i] = table[row[xs[i]]];
      break;
    case 4:
      for (int i = 0; i < n; ++i) {
        const int x = xs[i];
        out[i] = table[(x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4];
      }
      break;
    default:  // 1 bit, most significant bit first
      for (int i = 0; i < n; ++i) {
        const int x = xs[i];
        out[i] = table[(row[x >> 3] >> (7 - (x & 7))) & 1];
      }
      break;
  }
}

std::vector<int> identityColumns(const QRect& area) {
  std::vector<int> xs(area.width());
  for (int i = 0; i < area.width(); ++i) xs[i] = area.left() + i;
  return xs;
}

}  // namespace

BitmapArea imageOfArea(const Bitmap& bitmap, const QRect& requested) {
  const QRect area = requested.intersected(QRect(0, 0, bitmap.width(), bitmap.height()));
  if (area.isEmpty()) return {};
  const auto stride = qsizetype(bitmap.stride());
  const std::uint8_t* first = bitmap.row(area.top());
  switch (bitmap.bitsPerPixel()) {
    case 24:
      return {QImage(first + 3 * area.left(), area.width(), area.height(), stride,
                     QImage::Format_BGR888),
              QRect(QPoint(0, 0), area.size())};
    case 32:
      return {QImage(first + 4 * area.left(), area.width(), area.height(), stride,
                     QImage::Format_ARGB32),
              QRect(QPoint(0, 0), area.size())};
    case 8: {
      QImage image(first + area.left(), area.width(), area.height(), stride,
                   QImage::Format_Indexed8);
      image.setColorTable(colorTable(bitmap));
      return {image, QRect(QPoint(0, 0), area.size())};
    }
    case 1: {
      const int skip = area.left() & 7;
      QImage image(first + (area.left() >> 3), skip + area.width(), area.height(), stride,
                   QImage::Format_Mono);
      image.setColorTable(colorTable(bitmap));
      return {image, QRect(QPoint(skip, 0), area.size())};
    }
    default: {
      QImage image(area.size(), QImage::Format_RGB32);
      if (image.isNull()) return {};
      const QList<QRgb> table = bitmap.isPaletted() ? colorTable(bitmap) : QList<QRgb>();
      const std::vector<int> xs = identityColumns(area);
      for (int y = 0; y < area.height(); ++y)
        fetchRow(bitmap, table, area.top() + y, xs.data(), area.width(),
                 reinterpret_cast<QRgb*>(image.scanLine(y)));
      return {image, QRect(QPoint(0, 0), area.size())};
    }
  }
}

QImage opaqueImageOfArea(const Bitmap& bitmap, const QRect& requested, Color colour) {
  const QRect area = requested.intersected(QRect(0, 0, bitmap.width(), bitmap.height()));
  if (area.isEmpty()) return {};
  if (bitmap.bitsPerPixel() != 32) {
    const BitmapArea wrapped = imageOfArea(bitmap, area);
    return wrapped.image.copy(wrapped.source).convertToFormat(QImage::Format_RGB32);
  }
  QImage image(area.size(), QImage::Format_RGB32);
  if (image.isNull()) return {};
  const Color plain = ColorToRGB(colour);
  const int t[3] = {blueOf(plain), greenOf(plain), redOf(plain)};
  for (int y = 0; y < area.height(); ++y) {
    const std::uint8_t* src = bitmap.row(area.top() + y) + 4 * area.left();
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < area.width(); ++x, src += 4) {
      const int f = static_cast<int>(weightOfAlpha(src[3]));
      int c[3];
      for (int j = 0; j < 3; ++j) c[j] = src[j] + ((t[j] - src[j]) * f) / 100;
      out[x] = qRgb(c[2], c[1], c[0]);
    }
  }
  return image;
}

QImage maskedImageOfArea(const Bitmap& bitmap, const QRect& requested, const QSize& size,
                         Color key) {
  const QRect area = requested.intersected(QRect(0, 0, bitmap.width(), bitmap.height()));
  if (area.isEmpty() || size.isEmpty()) return {};
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) return {};
  const QList<QRgb> table = bitmap.isPaletted() ? colorTable(bitmap) : QList<QRgb>();
  // Source column and row of each destination pixel centre, computed once.
  std::vector<int> xs(size.width());
  for (int i = 0; i < size.width(); ++i)
    xs[i] = area.left() + int((2 * qint64(i) + 1) * area.width() / (2 * qint64(size.width())));
  const QRgb keyRgb = qRgb(redOf(key), greenOf(key), blueOf(key));
  int lastSourceRow = -1;
  for (int y = 0; y < size.height(); ++y) {
    const int sy =
        area.top() + int((2 * qint64(y) + 1) * area.height() / (2 * qint64(size.height())));
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
    if (sy == lastSourceRow) {
      std::copy_n(reinterpret_cast<const QRgb*>(image.constScanLine(y - 1)), size.width(), out);
      continue;
    }
    lastSourceRow = sy;
    fetchRow(bitmap, table, sy, xs.data(), size.width(), out);
    for (int i = 0; i < size.width(); ++i)
      if (out[i] == keyRgb) out[i] = 0;
  }
  return image;
}

}  // namespace vorlino
