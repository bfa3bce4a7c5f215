// The metafile canvas of the user interface: draws what a metafile player resolves onto a QImage
// with a QPainter, without anti-aliasing of shapes so that edges land on whole pixels as the
// metafile's own coordinates place them.
#pragma once

#include <QImage>
#include <QPainter>

#include "imagefile/metafile/canvas.h"

namespace vorlino {

class QPainterCanvas : public MetafileCanvas {
 public:
  // target: a Format_RGB32 image, kept open for painting until the canvas goes.
  explicit QPainterCanvas(QImage& target);

  void fillPath(const MfPath& path, const MfBrush& brush, const MfDrawState& state) override;
  void strokePath(const MfPath& path, const MfPen& pen, const MfDrawState& state) override;
  double drawText(const MfText& text, const MfDrawState& state) override;
  void drawBitmap(const Bitmap& image, const MfRect& src, MfPoint p0, MfPoint p1, MfPoint p2,
                  MfRasterOp rop, const MfDrawState& state) override;

 private:
  // Sets clip and raster operation; false when the operation leaves the target as it is.
  bool begin(const MfDrawState& state, MfRasterOp rop);

  QPainter painter_;
  bool fontsAvailable_;
};

}  // namespace vorlino
