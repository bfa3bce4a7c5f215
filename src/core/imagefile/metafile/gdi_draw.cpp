// Drawing operations of the GDI player: shapes, paths, text and bitmaps, resolved against the
// current state and handed to the canvas in output pixels.
#include <algorithm>
#include <cmath>

#include "imagefile/metafile/gdi_detail.h"
#include "imagefile/metafile/gdi_state.h"

namespace vorlino {

using namespace gdi_detail;

// --- drawing -------------------------------------------------------------------------------------

void GdiPlayer::drawShape(const MfPath& path, bool fill, bool stroke) {
  if (path.empty()) return;
  if (pathOpen_) {
    path_.append(path);
    figureOpen_ = false;
    return;
  }
  if (dc_.clipped && dc_.clip.empty()) return;
  const MfDrawState st = state();
  if (fill && brushVisible() && affordPoints(path.points, 0)) canvas_.fillPath(path, dc_.brush, st);
  if (stroke && penVisible()) {
    const MfPen pen = resolvePen();
    if (affordPoints(path.points, pen.width)) canvas_.strokePath(path, pen, st);
  }
}

void GdiPlayer::moveTo(MfPoint p) {
  dc_.cur = p;
  figureOpen_ = false;
}

void GdiPlayer::lineTo(MfPoint p) {
  polylineTo({p});
}

void GdiPlayer::polyline(const std::vector<MfPoint>& pts) {
  if (pts.size() < 2) return;
  MfPath path;
  path.moveTo(clampFar(toOutput(pts[0])));
  for (std::size_t i = 1; i < pts.size(); ++i) path.lineTo(clampFar(toOutput(pts[i])));
  drawShape(path, false, true);
}

// The segments of a "...To" record start at the current position, which then moves to `last`:
// into the open path's figure, or drawn at once as an open shape.
void GdiPlayer::continueFromCurrent(const MfPath& seg, const MfPoint& last) {
  const MfPoint start = clampFar(toOutput(dc_.cur));
  dc_.cur = last;
  if (pathOpen_) {
    if (!figureOpen_) path_.moveTo(start);
    path_.append(seg);
    figureOpen_ = true;
    return;
  }
  MfPath path;
  path.moveTo(start);
  path.append(seg);
  drawShape(path, false, true);
}

void GdiPlayer::polylineTo(const std::vector<MfPoint>& pts) {
  if (pts.empty()) return;
  MfPath seg;
  for (const MfPoint& p : pts) seg.lineTo(clampFar(toOutput(p)));
  continueFromCurrent(seg, pts.back());
}

void GdiPlayer::polygon(const std::vector<MfPoint>& pts) {
  polyPolygon({pts});
}

void GdiPlayer::polyPolygon(const std::vector<std::vector<MfPoint>>& polys) {
  MfPath path;
  for (const auto& poly : polys) {
    if (poly.size() < 2) continue;
    path.moveTo(clampFar(toOutput(poly[0])));
    for (std::size_t i = 1; i < poly.size(); ++i) path.lineTo(clampFar(toOutput(poly[i])));
    path.close();
  }
  drawShape(path, true, true);
}

void GdiPlayer::polyPolyline(const std::vector<std::vector<MfPoint>>& lines) {
  MfPath path;
  for (const auto& line : lines) {
    if (line.size() < 2) continue;
    path.moveTo(clampFar(toOutput(line[0])));
    for (std::size_t i = 1; i < line.size(); ++i) path.lineTo(clampFar(toOutput(line[i])));
  }
  drawShape(path, false, true);
}

void GdiPlayer::polyBezier(const std::vector<MfPoint>& pts) {
  if (pts.size() < 4) return;
  MfPath path;
  path.moveTo(clampFar(toOutput(pts[0])));
  for (std::size_t i = 1; i + 2 < pts.size(); i += 3)
    path.cubicTo(clampFar(toOutput(pts[i])), clampFar(toOutput(pts[i + 1])),
                 clampFar(toOutput(pts[i + 2])));
  drawShape(path, false, true);
}

void GdiPlayer::polyBezierTo(const std::vector<MfPoint>& pts) {
  if (pts.size() < 3) return;
  MfPath seg;
  std::size_t i = 0;
  for (; i + 2 < pts.size(); i += 3)
    seg.cubicTo(clampFar(toOutput(pts[i])), clampFar(toOutput(pts[i + 1])),
                clampFar(toOutput(pts[i + 2])));
  continueFromCurrent(seg, pts[i - 1]);
}

void GdiPlayer::shrinkBox(double& l, double& t, double& r, double& b) const {
  if (r < l) std::swap(l, r);
  if (b < t) std::swap(t, b);
  if (!transform_.axisAligned()) return;
  MfPoint p0 = toOutput({l, t});
  MfPoint p1 = toOutput({r, b});
  if (!finite(p0) || !finite(p1)) return;
  MfPoint& right = p1.x > p0.x ? p1 : p0;
  MfPoint& bottom = p1.y > p0.y ? p1 : p0;
  if (std::fabs(p1.x - p0.x) >= 1) right.x -= 1;
  if (std::fabs(p1.y - p0.y) >= 1) bottom.y -= 1;
  MfAffine inv;
  if (!transform_.invert(inv)) return;
  const MfPoint q0 = inv.map(p0);
  const MfPoint q1 = inv.map(p1);
  l = std::min(q0.x, q1.x);
  r = std::max(q0.x, q1.x);
  t = std::min(q0.y, q1.y);
  b = std::max(q0.y, q1.y);
}

void GdiPlayer::rectangle(double l, double t, double r, double b) {
  shrinkBox(l, t, r, b);
  MfPath path;
  path.moveTo(clampFar(toOutput({l, t})));
  path.lineTo(clampFar(toOutput({r, t})));
  path.lineTo(clampFar(toOutput({r, b})));
  path.lineTo(clampFar(toOutput({l, b})));
  path.close();
  drawShape(path, true, true);
}

void GdiPlayer::addEllipseArc(MfPath& path, double cx, double cy, double rx, double ry, double t0,
                              double sweep, bool moveFirst) const {
  auto at = [&](double t) { return MfPoint{cx + rx * std::cos(t), cy + ry * std::sin(t)}; };
  if (moveFirst) path.moveTo(clampFar(toOutput(at(t0))));
  const int segments =
      std::clamp(static_cast<int>(std::ceil(std::fabs(sweep) / (kPi / 2) - 1e-9)), 1, 4);
  const double step = sweep / segments;
  const double k = 4.0 / 3.0 * std::tan(step / 4);
  double t = t0;
  for (int i = 0; i < segments; ++i) {
    const double t1 = t + step;
    const MfPoint c1{cx + rx * (std::cos(t) - k * std::sin(t)),
                     cy + ry * (std::sin(t) + k * std::cos(t))};
    const MfPoint c2{cx + rx * (std::cos(t1) + k * std::sin(t1)),
                     cy + ry * (std::sin(t1) - k * std::cos(t1))};
    path.cubicTo(clampFar(toOutput(c1)), clampFar(toOutput(c2)), clampFar(toOutput(at(t1))));
    t = t1;
  }
}

void GdiPlayer::roundRect(double l, double t, double r, double b, double w, double h) {
  shrinkBox(l, t, r, b);
  const double rx = std::min(std::fabs(w) / 2, (r - l) / 2);
  const double ry = std::min(std::fabs(h) / 2, (b - t) / 2);
  if (rx <= 0 || ry <= 0) {
    MfPath path;
    path.moveTo(clampFar(toOutput({l, t})));
    path.lineTo(clampFar(toOutput({r, t})));
    path.lineTo(clampFar(toOutput({r, b})));
    path.lineTo(clampFar(toOutput({l, b})));
    path.close();
    drawShape(path, true, true);
    return;
  }
  MfPath path;
  path.moveTo(clampFar(toOutput({l + rx, t})));
  path.lineTo(clampFar(toOutput({r - rx, t})));
  addEllipseArc(path, r - rx, t + ry, rx, ry, -kPi / 2, kPi / 2, false);
  path.lineTo(clampFar(toOutput({r, b - ry})));
  addEllipseArc(path, r - rx, b - ry, rx, ry, 0, kPi / 2, false);
  path.lineTo(clampFar(toOutput({l + rx, b})));
  addEllipseArc(path, l + rx, b - ry, rx, ry, kPi / 2, kPi / 2, false);
  path.lineTo(clampFar(toOutput({l, t + ry})));
  addEllipseArc(path, l + rx, t + ry, rx, ry, kPi, kPi / 2, false);
  path.close();
  drawShape(path, true, true);
}

void GdiPlayer::ellipse(double l, double t, double r, double b) {
  shrinkBox(l, t, r, b);
  const double rx = (r - l) / 2;
  const double ry = (b - t) / 2;
  if (!(rx > 0) || !(ry > 0)) return;
  MfPath path;
  addEllipseArc(path, l + rx, t + ry, rx, ry, 0, 2 * kPi, true);
  path.close();
  drawShape(path, true, true);
}

void GdiPlayer::arc(double l, double t, double r, double b, MfPoint start, MfPoint end,
                    ArcKind kind) {
  shrinkBox(l, t, r, b);
  const double rx = (r - l) / 2;
  const double ry = (b - t) / 2;
  if (!(rx > 0) || !(ry > 0)) return;
  const double cx = l + rx;
  const double cy = t + ry;
  const double ts = std::atan2((start.y - cy) / ry, (start.x - cx) / rx);
  const double te = std::atan2((end.y - cy) / ry, (end.x - cx) / rx);
  // The arc direction is seen in the output, whose y axis points down: increasing the
  // parameter turns clockwise there unless the mapping mirrors the picture.
  const double det = transform_.a * transform_.d - transform_.b * transform_.c;
  const bool increasingIsClockwise = det > 0;
  const bool increasing = dc_.arcClockwise == increasingIsClockwise;
  double sweep = increasing ? te - ts : ts - te;
  while (sweep <= 1e-12) sweep += 2 * kPi;
  while (sweep > 2 * kPi + 1e-12) sweep -= 2 * kPi;
  if (!increasing) sweep = -sweep;

  MfPath path;
  const MfPoint arcStart{cx + rx * std::cos(ts), cy + ry * std::sin(ts)};
  const MfPoint arcEnd{cx + rx * std::cos(ts + sweep), cy + ry * std::sin(ts + sweep)};
  switch (kind) {
    case ArcKind::akArc:
      addEllipseArc(path, cx, cy, rx, ry, ts, sweep, true);
      drawShape(path, false, true);
      break;
    case ArcKind::akArcTo: {
      MfPath seg;
      seg.lineTo(clampFar(toOutput(arcStart)));
      addEllipseArc(seg, cx, cy, rx, ry, ts, sweep, false);
      const MfPoint from = clampFar(toOutput(dc_.cur));
      dc_.cur = arcEnd;
      if (pathOpen_) {
        if (!figureOpen_) path_.moveTo(from);
        path_.append(seg);
        figureOpen_ = true;
      } else {
        path.moveTo(from);
        path.append(seg);
        drawShape(path, false, true);
      }
      break;
    }
    case ArcKind::akChord:
      addEllipseArc(path, cx, cy, rx, ry, ts, sweep, true);
      path.close();
      drawShape(path, true, true);
      break;
    case ArcKind::akPie:
      path.moveTo(clampFar(toOutput({cx, cy})));
      path.lineTo(clampFar(toOutput(arcStart)));
      addEllipseArc(path, cx, cy, rx, ry, ts, sweep, false);
      path.close();
      drawShape(path, true, true);
      break;
  }
}

void GdiPlayer::fillRegionRects(const std::vector<MfRect>& outputRects, const MfBrush& brush,
                                MfRasterOp rop) {
  if (outputRects.empty() || brush.kind == MfBrushKind::bkNull) return;
  if (dc_.clipped && dc_.clip.empty()) return;
  MfPath path;
  for (const MfRect& r : outputRects) path.append(rectPath(r));
  if (!affordPoints(path.points, 0)) return;
  MfDrawState st = state();
  st.rop = rop;
  canvas_.fillPath(path, brush, st);
}

void GdiPlayer::setPixel(MfPoint p, Color c) {
  const MfPoint o = toOutput(p);
  const int x = static_cast<int>(std::floor(std::clamp(o.x, -kFar, kFar)));
  const int y = static_cast<int>(std::floor(std::clamp(o.y, -kFar, kFar)));
  MfBrush brush;
  brush.color = c & 0xFFFFFF;
  fillRegionRects({{x, y, x + 1, y + 1}}, brush, kRopCopy);
}

void GdiPlayer::patBlt(double x, double y, double w, double h, MfRasterOp rop) {
  const MfRect r = outputRect(x, y, x + w, y + h);
  MfBrush brush = dc_.brush;
  // Black, white and inversion do not read the brush.
  if (rop == 0 || rop == 15 || rop == 5 || rop == 10) brush = MfBrush{};
  if (rop == kRopNop) return;
  fillRegionRects({r}, brush, rop);
}

void GdiPlayer::fillRegion(std::uint32_t regionIndex, int brushIndex) {
  GdiObject* obj = objectAt(regionIndex);
  auto* region = obj ? std::get_if<GdiRegionObject>(obj) : nullptr;
  if (!region) return;
  MfBrush brush = dc_.brush;
  if (brushIndex >= 0 && !brushObject(static_cast<std::uint32_t>(brushIndex), brush)) return;
  std::vector<MfRect> rects;
  for (const MfRect& r : region->rects)
    rects.push_back(region->logical ? outputRect(r.left, r.top, r.right, r.bottom) : r);
  fillRegionRects(rects, brush, kRopCopy);
}

void GdiPlayer::invertRegion(std::uint32_t regionIndex) {
  GdiObject* obj = objectAt(regionIndex);
  auto* region = obj ? std::get_if<GdiRegionObject>(obj) : nullptr;
  if (!region) return;
  std::vector<MfRect> rects;
  for (const MfRect& r : region->rects)
    rects.push_back(region->logical ? outputRect(r.left, r.top, r.right, r.bottom) : r);
  fillRegionRects(rects, MfBrush{}, 5);
}

void GdiPlayer::stretchBlt(const MetafileDib& dib, double x, double y, double w, double h,
                           double sx, double sy, double sw, double sh, std::uint32_t rop3) {
  const BlitOp op = reduceRop3(rop3);
  if (!op.usesSource) {
    patBlt(x, y, w, h, op.rop);
    return;
  }
  if (dib.image.empty() || sw == 0 || sh == 0 || w == 0 || h == 0) return;
  if (dc_.clipped && dc_.clip.empty()) return;
  if (sw < 0) {
    sx += sw;
    sw = -sw;
    x += w;
    w = -w;
  }
  if (sh < 0) {
    sy += sh;
    sh = -sh;
    y += h;
    h = -h;
  }
  // Only the part of the source inside the bitmap is drawn, at its place in the destination.
  const double x0 = std::max(sx, 0.0);
  const double y0 = std::max(sy, 0.0);
  const double x1 = std::min(sx + sw, double(dib.image.width()));
  const double y1 = std::min(sy + sh, double(dib.image.height()));
  if (!(x1 > x0) || !(y1 > y0)) return;
  const double fx0 = (x0 - sx) / sw, fx1 = (x1 - sx) / sw;
  const double fy0 = (y0 - sy) / sh, fy1 = (y1 - sy) / sh;
  const double dx = x + w * fx0, dy = y + h * fy0;
  const double dw = w * (fx1 - fx0), dh = h * (fy1 - fy0);
  MfRect src{static_cast<int>(std::floor(x0)), static_cast<int>(std::floor(y0)),
             static_cast<int>(std::ceil(x1)), static_cast<int>(std::ceil(y1))};
  const MfPoint p0 = clampFar(toOutput({dx, dy}));
  const MfPoint p1 = clampFar(toOutput({dx + dw, dy}));
  const MfPoint p2 = clampFar(toOutput({dx, dy + dh}));
  if (!affordPoints({p0, p1, p2, {p1.x + p2.x - p0.x, p1.y + p2.y - p0.y}}, 0)) return;
  canvas_.drawBitmap(dib.image, src, p0, p1, p2, op.rop, state());
}

// --- text ----------------------------------------------------------------------------------------

void GdiPlayer::textOut(MfPoint ref, const std::u16string& text, const std::vector<double>& dx,
                        const TextOptions& opt) {
  if (dc_.clipped && dc_.clip.empty()) return;
  MfDrawState st = state();
  if (opt.opaque) {
    MfBrush bk;
    bk.color = dc_.bkColor;
    fillRegionRects({outputRect(opt.rect[0], opt.rect[1], opt.rect[2], opt.rect[3])}, bk, kRopCopy);
  }
  MfRegion clip;
  if (opt.clipped) {
    clip = dc_.clipped ? dc_.clip : MfRegion(bounds_);
    clip.intersect(MfRegion(outputRect(opt.rect[0], opt.rect[1], opt.rect[2], opt.rect[3])));
    if (clip.empty()) return;
    st.clip = &clip;
  }
  if (text.empty()) return;
  MfText run;
  run.text = text;
  run.align = dc_.textAlign;
  run.font = resolveFont();
  run.color = dc_.textColor;
  if (!(run.font.height > 0) || run.font.height > 1e5) return;
  const bool updateCp = (dc_.textAlign & kTaUpdateCp) != 0;
  const MfPoint start = updateCp ? dc_.cur : ref;
  run.origin = clampFar(toOutput(start));
  const double xs = std::hypot(transform_.a, transform_.b);
  if (!dx.empty()) {
    run.advances.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
      run.advances.push_back(i < dx.size() ? std::clamp(dx[i] * xs, -kFar, kFar) : 0.0);
  }
  // The text's box is not known before the canvas measures it: a square of the font's height
  // per character stands for it.
  const double side = run.font.height * (1 + std::max(1.0, run.font.width / run.font.height));
  const double extent = side * static_cast<double>(text.size());
  if (!afford(run.origin.x - extent, run.origin.y - side, run.origin.x + extent,
              run.origin.y + side))
    return;
  const double advance = canvas_.drawText(run, st);
  if (updateCp && xs > 0 && std::isfinite(advance)) {
    const unsigned h = dc_.textAlign & kTaCenter;
    if (h == kTaCenter) return;
    const double logical = advance / xs * (transform_.a < 0 ? -1 : 1);
    dc_.cur.x += h == kTaRight ? -logical : logical;
  }
}

void GdiPlayer::textOutAnsi(MfPoint ref, const std::uint8_t* bytes, std::size_t count,
                            const std::vector<double>& dx, const TextOptions& opt) {
  textOut(ref, decodeAnsiText(bytes, count, dc_.font.charset), dx, opt);
}

// --- paths ---------------------------------------------------------------------------------------

void GdiPlayer::beginPath() {
  path_.clear();
  pathOpen_ = true;
  figureOpen_ = false;
}

void GdiPlayer::endPath() {
  pathOpen_ = false;
  figureOpen_ = false;
}

void GdiPlayer::abortPath() {
  path_.clear();
  pathOpen_ = false;
  figureOpen_ = false;
}

void GdiPlayer::closeFigure() {
  if (pathOpen_ && figureOpen_) {
    path_.close();
    figureOpen_ = false;
  }
}

void GdiPlayer::closeFigureAt(MfPoint start) {
  if (pathOpen_)
    closeFigure();
  else
    lineTo(start);
}

void GdiPlayer::fillPath() {
  if (pathOpen_) return;
  const MfPath path = std::move(path_);
  path_.clear();
  drawShape(path, true, false);
}

void GdiPlayer::strokePath() {
  if (pathOpen_) return;
  const MfPath path = std::move(path_);
  path_.clear();
  drawShape(path, false, true);
}

void GdiPlayer::strokeAndFillPath() {
  if (pathOpen_) return;
  const MfPath path = std::move(path_);
  path_.clear();
  drawShape(path, true, true);
}

}  // namespace vorlino
