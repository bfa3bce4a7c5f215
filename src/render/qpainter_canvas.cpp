#include "render/qpainter_canvas.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainterPath>
#include <QRegion>
#include <QString>
#include <QTransform>
#include <QVector>
#include <algorithm>
#include <cmath>

namespace vorlino {

namespace {

QColor toQColor(Color c) {
  return QColor(redOf(c), greenOf(c), blueOf(c));
}

QPainterPath toQPath(const MfPath& path, bool winding) {
  QPainterPath q;
  q.setFillRule(winding ? Qt::WindingFill : Qt::OddEvenFill);
  std::size_t i = 0;
  for (MfVerb v : path.verbs) {
    switch (v) {
      case MfVerb::mvMove:
        q.moveTo(path.points[i].x, path.points[i].y);
        ++i;
        break;
      case MfVerb::mvLine:
        q.lineTo(path.points[i].x, path.points[i].y);
        ++i;
        break;
      case MfVerb::mvCubic:
        q.cubicTo(path.points[i].x, path.points[i].y, path.points[i + 1].x, path.points[i + 1].y,
                  path.points[i + 2].x, path.points[i + 2].y);
        i += 3;
        break;
      case MfVerb::mvClose:
        q.closeSubpath();
        break;
    }
  }
  return q;
}

// The 16 two-operand raster operations, by truth table (see MfRasterOp).
QPainter::CompositionMode compositionFor(MfRasterOp rop) {
  static constexpr QPainter::CompositionMode kModes[16] = {
      QPainter::RasterOp_ClearDestination,        QPainter::RasterOp_NotSourceAndNotDestination,
      QPainter::RasterOp_NotSourceAndDestination, QPainter::RasterOp_NotSource,
      QPainter::RasterOp_SourceAndNotDestination, QPainter::RasterOp_NotDestination,
      QPainter::RasterOp_SourceXorDestination,    QPainter::RasterOp_NotSourceOrNotDestination,
      QPainter::RasterOp_SourceAndDestination,    QPainter::RasterOp_NotSourceXorDestination,
      QPainter::CompositionMode_DestinationOver,  // unused: the destination is kept
      QPainter::RasterOp_NotSourceOrDestination,  QPainter::CompositionMode_SourceOver,
      QPainter::RasterOp_SourceOrNotDestination,  QPainter::RasterOp_SourceOrDestination,
      QPainter::RasterOp_SetDestination,
  };
  return kModes[rop & 15];
}

// A 24-bit bitmap seen as a QImage, without copying.
QImage wrap(const Bitmap& b) {
  return QImage(b.bits(), b.width(), b.height(), static_cast<qsizetype>(b.stride()),
                QImage::Format_BGR888);
}

Qt::BrushStyle hatchStyle(MfHatch h) {
  switch (h) {
    case MfHatch::hsHorizontal:
      return Qt::HorPattern;
    case MfHatch::hsVertical:
      return Qt::VerPattern;
    case MfHatch::hsFDiagonal:
      return Qt::FDiagPattern;
    case MfHatch::hsBDiagonal:
      return Qt::BDiagPattern;
    case MfHatch::hsCross:
      return Qt::CrossPattern;
    case MfHatch::hsDiagCross:
      return Qt::DiagCrossPattern;
  }
  return Qt::SolidPattern;
}

QFont makeFont(const MfFont& f) {
  QFont font;
  if (!f.face.empty()) font.setFamily(QString::fromStdString(f.face));
  switch (f.pitchAndFamily & 0xF0) {
    case 0x10:
      font.setStyleHint(QFont::Serif);
      break;
    case 0x20:
      font.setStyleHint(QFont::SansSerif);
      break;
    case 0x30:
      font.setStyleHint(QFont::TypeWriter);
      break;
    case 0x40:
      font.setStyleHint(QFont::Cursive);
      break;
    case 0x50:
      font.setStyleHint(QFont::Decorative);
      break;
    default:
      break;
  }
  // The image is 96 dots per inch: a point is 4/3 of a pixel.
  font.setPointSizeF(std::max(0.75, f.height * 0.75));
  const int weight = f.weight <= 0 ? 400 : std::clamp(f.weight, 1, 1000);
  font.setWeight(static_cast<QFont::Weight>(weight));
  font.setItalic(f.italic);
  font.setUnderline(f.underline);
  font.setStrikeOut(f.strikeOut);
  font.setKerning(false);
  if (f.cellHeight) {
    // A positive height counts the whole cell: scale the em so ascent and descent fill it.
    const QFontMetricsF fm(font);
    const double cell = fm.ascent() + fm.descent();
    if (cell > 0) font.setPointSizeF(std::max(0.75, f.height * 0.75 * f.height / cell));
  }
  double stretch = f.aspect;
  if (f.width > 0) {
    const QFontMetricsF fm(font);
    stretch = fm.averageCharWidth() > 0 ? f.width / fm.averageCharWidth() : 1;
  }
  if (std::isfinite(stretch) && std::fabs(stretch - 1) > 0.01)
    font.setStretch(std::clamp(static_cast<int>(std::lround(stretch * 100)), 1, 4000));
  return font;
}

}  // namespace

QPainterCanvas::QPainterCanvas(QImage& target)
    : painter_(&target),
      fontsAvailable_(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
}

bool QPainterCanvas::begin(const MfDrawState& state, MfRasterOp rop) {
  if ((rop & 15) == kRopNop) return false;
  painter_.resetTransform();
  if (state.clip) {
    if (state.clip->empty()) return false;
    QRegion region;
    QVector<QRect> rects;
    rects.reserve(static_cast<qsizetype>(state.clip->rects().size()));
    for (const MfRect& r : state.clip->rects())
      rects.push_back(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top));
    region.setRects(rects.constData(), static_cast<int>(rects.size()));
    painter_.setClipRegion(region);
  } else {
    painter_.setClipping(false);
  }
  painter_.setCompositionMode(compositionFor(rop));
  return true;
}

void QPainterCanvas::fillPath(const MfPath& path, const MfBrush& brush, const MfDrawState& state) {
  if (brush.kind == MfBrushKind::bkNull || !begin(state, state.rop)) return;
  const QPainterPath q = toQPath(path, state.winding);
  switch (brush.kind) {
    case MfBrushKind::bkSolid:
      painter_.fillPath(q, toQColor(brush.color));
      break;
    case MfBrushKind::bkHatched: {
      if (state.opaqueBackground) painter_.fillPath(q, toQColor(state.background));
      painter_.fillPath(q, QBrush(toQColor(brush.color), hatchStyle(brush.hatch)));
      break;
    }
    case MfBrushKind::bkPattern: {
      if (!brush.pattern || brush.pattern->empty()) {
        painter_.fillPath(q, toQColor(brush.color));
        break;
      }
      QImage tile = wrap(*brush.pattern).convertToFormat(QImage::Format_RGB32);
      if (brush.monochrome) {
        // Black bits take the text colour, white bits the background colour.
        const QRgb fore = toQColor(state.textColor).rgb();
        const QRgb back = toQColor(state.background).rgb();
        for (int y = 0; y < tile.height(); ++y) {
          auto* line = reinterpret_cast<QRgb*>(tile.scanLine(y));
          for (int x = 0; x < tile.width(); ++x) line[x] = qRed(line[x]) < 128 ? fore : back;
        }
      }
      painter_.fillPath(q, QBrush(tile));
      break;
    }
    case MfBrushKind::bkNull:
      break;
  }
}

void QPainterCanvas::strokePath(const MfPath& path, const MfPen& pen, const MfDrawState& state) {
  if (pen.style == MfPenStyle::psNull || !begin(state, state.rop)) return;
  const QPainterPath q = toQPath(path, state.winding);
  QPen qpen(toQColor(pen.color));
  qpen.setWidthF(pen.width);
  const bool thin = pen.width <= 1.5;
  qpen.setCapStyle(thin                             ? Qt::FlatCap
                   : pen.cap == MfLineCap::lcSquare ? Qt::SquareCap
                   : pen.cap == MfLineCap::lcFlat   ? Qt::FlatCap
                                                    : Qt::RoundCap);
  qpen.setJoinStyle(thin                              ? Qt::MiterJoin
                    : pen.join == MfLineJoin::ljBevel ? Qt::BevelJoin
                    : pen.join == MfLineJoin::ljMiter ? Qt::MiterJoin
                                                      : Qt::RoundJoin);
  qpen.setMiterLimit(pen.miterLimit);
  QVector<qreal> dashes;
  switch (pen.style) {
    case MfPenStyle::psDash:
      dashes = {18, 6};
      break;
    case MfPenStyle::psDot:
      dashes = {3, 3};
      break;
    case MfPenStyle::psDashDot:
      dashes = {9, 6, 3, 6};
      break;
    case MfPenStyle::psDashDotDot:
      dashes = {9, 3, 3, 3, 3, 3};
      break;
    default:
      break;
  }
  if (!dashes.isEmpty()) {
    // The gaps of a styled pen show the background colour in opaque mode.
    if (state.opaqueBackground) {
      QPen back = qpen;
      back.setColor(toQColor(state.background));
      painter_.strokePath(q, back);
    }
    qpen.setDashPattern(dashes);
  }
  painter_.strokePath(q, qpen);
}

double QPainterCanvas::drawText(const MfText& text, const MfDrawState& state) {
  double given = 0;
  for (double a : text.advances) given += a;
  if (!fontsAvailable_)
    return text.advances.empty() ? 0.5 * text.font.height * text.text.size() : given;

  const QFont font = makeFont(text.font);
  const QFontMetricsF fm(font);
  const QString str =
      QString::fromUtf16(text.text.data(), static_cast<qsizetype>(text.text.size()));
  const double advance = text.advances.empty() ? fm.horizontalAdvance(str) : given;
  if (!begin(state, kRopCopy)) return advance;

  double x = 0;
  const unsigned horizontal = text.align & kTaCenter;
  if (horizontal == kTaCenter)
    x = -advance / 2;
  else if (horizontal == kTaRight)
    x = -advance;
  double baseline = 0;
  const unsigned vertical = text.align & kTaBaseline;
  if (vertical == 0)
    baseline = fm.ascent();
  else if (vertical == kTaBottom)
    baseline = -fm.descent();

  painter_.translate(text.origin.x, text.origin.y);
  if (text.font.angle != 0) painter_.rotate(-text.font.angle);
  if (state.opaqueBackground)
    painter_.fillRect(QRectF(x, baseline - fm.ascent(), advance, fm.ascent() + fm.descent()),
                      toQColor(state.background));
  painter_.setFont(font);
  painter_.setPen(toQColor(text.color));
  if (text.advances.empty()) {
    painter_.drawText(QPointF(x, baseline), str);
  } else {
    // Each character at the place the file gives it; a surrogate pair stays together.
    double pos = x;
    for (qsizetype i = 0; i < str.size(); ++i) {
      const qsizetype n = str.at(i).isHighSurrogate() && i + 1 < str.size() ? 2 : 1;
      painter_.drawText(QPointF(pos, baseline), str.mid(i, n));
      for (qsizetype k = 0; k < n; ++k) pos += text.advances[static_cast<std::size_t>(i + k)];
      i += n - 1;
    }
  }
  painter_.resetTransform();
  return advance;
}

void QPainterCanvas::drawBitmap(const Bitmap& image, const MfRect& src, MfPoint p0, MfPoint p1,
                                MfPoint p2, MfRasterOp rop, const MfDrawState& state) {
  const double sw = src.right - src.left;
  const double sh = src.bottom - src.top;
  if (image.empty() || sw <= 0 || sh <= 0 || !begin(state, rop)) return;
  const double m11 = (p1.x - p0.x) / sw, m12 = (p1.y - p0.y) / sw;
  const double m21 = (p2.x - p0.x) / sh, m22 = (p2.y - p0.y) / sh;
  const QTransform t(m11, m12, m21, m22, p0.x - m11 * src.left - m21 * src.top,
                     p0.y - m12 * src.left - m22 * src.top);
  if (!t.isInvertible()) return;
  painter_.setTransform(t);
  const QRectF rect(src.left, src.top, sw, sh);
  painter_.drawImage(rect, wrap(image), rect);
  painter_.resetTransform();
}

}  // namespace vorlino
