#include "print/banded_draw.h"

#include <algorithm>

#include "bitmap/color.h"
#include "view/bitmap_image.h"

namespace vorlino {

TBandedDrawResult drawInBands(const TImageZoom& zoom, QPainter& painter,
                              const std::function<bool()>& keepGoing, int bandRows) {
  TBandedDrawResult result;
  const Bitmap* bitmap = zoom.Bitmap();
  if (!bitmap) return result;
  const ZoomDrawPlan plan = planZoomDraw(zoom.Bounds(), QPoint(zoom.Left(), zoom.Top()),
                                         zoom.Zoom(), bitmap->width(), bitmap->height(), false);
  if (plan.target.isEmpty()) {
    result.complete = true;
    return result;
  }
  const QRect& source = plan.source;
  const QRect& target = plan.target;
  if (bandRows <= 0) bandRows = std::max(kMinBandRows, kBandPixels / std::max(1, source.width()));

  painter.setClipRect(zoom.Bounds(), Qt::IntersectClip);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  const Color key = ColorToRGB(bitmap->TransparentColor);
  // The one stretched copy of source onto target, cut along bitmap rows.
  const double rowHeight = double(target.height()) / source.height();
  const auto targetY = [&](int row) { return target.top() + (row - source.top()) * rowHeight; };
  const int sourceBottom = source.top() + source.height();
  result.complete = true;
  for (int row = source.top(); row < sourceBottom; row += bandRows) {
    if (!keepGoing()) {
      result.complete = false;
      break;
    }
    const int end = std::min(sourceBottom, row + bandRows + 1);
    const QRect band(source.left(), row, source.width(), end - row);
    const QRectF place(target.left(), targetY(row), target.width(), targetY(end) - targetY(row));
    if (bitmap->Transparent) {
      const QImage image = maskedImageOfArea(*bitmap, band, band.size(), key);
      painter.drawImage(place, image, QRectF(image.rect()));
    } else if (bitmap->bitsPerPixel() == 32) {
      // Soft transparency on paper: composed over white, as the paper would show it.
      const QImage image = opaqueImageOfArea(*bitmap, band, kWhite);
      painter.drawImage(place, image, QRectF(image.rect()));
    } else {
      const BitmapArea area = imageOfArea(*bitmap, band);
      painter.drawImage(place, area.image, QRectF(area.source));
    }
  }
  result.covered = target.intersected(zoom.Bounds());
  return result;
}

}  // namespace vorlino
