// GDI state machine shared by the WMF and EMF players.
#include "imagefile/metafile_gdi.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vorlino {

namespace {

constexpr double kPi = std::numbers::pi;

// Windows-1252 in 0x80..0x9F; the rest of the set is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr int kAnsiCharset = 0;
constexpr int kDefaultCharset = 1;

bool finite(MfPoint p) {
  return std::isfinite(p.x) && std::isfinite(p.y);
}

// Output coordinates beyond this are far outside any picture; they are clamped so that a
// painter never sees values it cannot represent.
constexpr double kFar = 1e7;
MfPoint clampFar(MfPoint p) {
  if (!finite(p)) return {0, 0};
  return {std::clamp(p.x, -kFar, kFar), std::clamp(p.y, -kFar, kFar)};
}

int roundToInt(double v) {
  if (!std::isfinite(v)) return 0;
  return static_cast<int>(std::nearbyint(std::clamp(v, -kFar, kFar)));
}

MfPath rectPath(const MfRect& r) {
  MfPath p;
  p.moveTo({double(r.left), double(r.top)});
  p.lineTo({double(r.right), double(r.top)});
  p.lineTo({double(r.right), double(r.bottom)});
  p.lineTo({double(r.left), double(r.bottom)});
  p.close();
  return p;
}

}  // namespace

MfAffine MfAffine::then(const MfAffine& n) const {
  MfAffine r;
  r.a = n.a * a + n.c * b;
  r.b = n.b * a + n.d * b;
  r.c = n.a * c + n.c * d;
  r.d = n.b * c + n.d * d;
  r.e = n.a * e + n.c * f + n.e;
  r.f = n.b * e + n.d * f + n.f;
  return r;
}

bool MfAffine::invert(MfAffine& out) const {
  const double det = a * d - b * c;
  if (det == 0 || !std::isfinite(det)) return false;
  out.a = d / det;
  out.b = -b / det;
  out.c = -c / det;
  out.d = a / det;
  out.e = -(out.a * e + out.c * f);
  out.f = -(out.b * e + out.d * f);
  return true;
}

BlitOp reduceRop3(std::uint32_t rop3) {
  const unsigned index = (rop3 >> 16) & 0xFF;
  auto f = [index](unsigned p, unsigned s, unsigned d) {
    return (index >> (p << 2 | s << 1 | d)) & 1;
  };
  bool usesSource = false;
  bool usesPattern = false;
  for (unsigned a = 0; a < 2; ++a)
    for (unsigned d = 0; d < 2; ++d) {
      if (f(a, 0, d) != f(a, 1, d)) usesSource = true;
      if (f(0, a, d) != f(1, a, d)) usesPattern = true;
    }
  BlitOp op;
  op.usesSource = usesSource;
  unsigned table = 0;
  for (unsigned x = 0; x < 2; ++x)
    for (unsigned d = 0; d < 2; ++d) {
      // Operations that need both a bitmap and a brush are taken with a white brush.
      const unsigned v = usesSource ? f(usesPattern ? 1 : 0, x, d) : f(x, 0, d);
      table |= v << (x << 1 | d);
    }
  op.rop = static_cast<MfRasterOp>(table);
  return op;
}

std::u16string decodeAnsiText(const std::uint8_t* bytes, std::size_t count, int charset) {
  std::u16string s;
  s.reserve(count);
  const bool western = charset == kAnsiCharset || charset == kDefaultCharset;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t b = bytes[i];
    s.push_back(western && b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char16_t(b));
  }
  return s;
}

GdiPlayer::GdiPlayer(MetafileCanvas& canvas, const MfRect& bounds)
    : canvas_(canvas), bounds_(bounds) {
  const double area = double(bounds.right - bounds.left) * double(bounds.bottom - bounds.top);
  budget_ = std::max(8589934592.0, 64 * area);
  updateTransform();
}

bool GdiPlayer::afford(double x0, double y0, double x1, double y1) {
  if (exhausted_) return false;
  const double w = std::min(x1, double(bounds_.right)) - std::max(x0, double(bounds_.left));
  const double h = std::min(y1, double(bounds_.bottom)) - std::max(y0, double(bounds_.top));
  const double area = 1 + (w > 0 && h > 0 ? w * h : 0);  // every call costs something
  if (!(spent_ + area <= budget_)) {
    exhausted_ = true;
    return false;
  }
  spent_ += area;
  return true;
}

bool GdiPlayer::affordPoints(const std::vector<MfPoint>& points, double margin) {
  if (points.empty()) return afford(0, 0, 0, 0);
  double x0 = points[0].x, x1 = x0, y0 = points[0].y, y1 = y0;
  for (const MfPoint& p : points) {
    x0 = std::min(x0, p.x);
    x1 = std::max(x1, p.x);
    y0 = std::min(y0, p.y);
    y1 = std::max(y1, p.y);
  }
  return afford(x0 - margin, y0 - margin, x1 + margin + 1, y1 + margin + 1);
}

// --- mapping -------------------------------------------------------------------------------------

void GdiPlayer::setDeviceTransform(const MfAffine& deviceToOutput) {
  device_ = deviceToOutput;
  updateTransform();
}

void GdiPlayer::setDeviceResolution(double xPerMm, double yPerMm) {
  if (std::isfinite(xPerMm) && xPerMm > 0) devPerMmX_ = xPerMm;
  if (std::isfinite(yPerMm) && yPerMm > 0) devPerMmY_ = yPerMm;
  updateTransform();
}

void GdiPlayer::lockViewport(MfPoint org, MfPoint ext) {
  dc_.vpOrg = org;
  dc_.vpExt = ext;
  viewportLocked_ = true;
  updateTransform();
}

void GdiPlayer::setMapMode(int mode) {
  if (mode < kMmText || mode > kMmAnisotropic) return;
  dc_.mapMode = mode;
  updateTransform();
}

void GdiPlayer::setWindowOrg(MfPoint p) {
  dc_.winOrg = p;
  updateTransform();
}

void GdiPlayer::setWindowExt(MfPoint p) {
  if (p.x == 0 || p.y == 0) return;
  dc_.winExt = p;
  updateTransform();
}

void GdiPlayer::setViewportOrg(MfPoint p) {
  if (viewportLocked_) return;
  dc_.vpOrg = p;
  updateTransform();
}

void GdiPlayer::setViewportExt(MfPoint p) {
  if (viewportLocked_ || p.x == 0 || p.y == 0) return;
  dc_.vpExt = p;
  updateTransform();
}

void GdiPlayer::offsetWindowOrg(MfPoint d) {
  setWindowOrg({dc_.winOrg.x + d.x, dc_.winOrg.y + d.y});
}

void GdiPlayer::offsetViewportOrg(MfPoint d) {
  setViewportOrg({dc_.vpOrg.x + d.x, dc_.vpOrg.y + d.y});
}

void GdiPlayer::scaleWindowExt(double xNum, double xDen, double yNum, double yDen) {
  if (xDen == 0 || yDen == 0) return;
  setWindowExt({dc_.winExt.x * xNum / xDen, dc_.winExt.y * yNum / yDen});
}

void GdiPlayer::scaleViewportExt(double xNum, double xDen, double yNum, double yDen) {
  if (xDen == 0 || yDen == 0) return;
  setViewportExt({dc_.vpExt.x * xNum / xDen, dc_.vpExt.y * yNum / yDen});
}

void GdiPlayer::setWorldTransform(const MfAffine& m) {
  MfAffine inv;
  if (!m.invert(inv)) return;
  dc_.world = m;
  updateTransform();
}

void GdiPlayer::modifyWorldTransform(const MfAffine& m, int mode) {
  MfAffine inv;
  switch (mode) {
    case 1:
      dc_.world = MfAffine{};
      break;
    case 2:  // the new transform applies first
      if (!m.invert(inv)) return;
      dc_.world = m.then(dc_.world);
      break;
    case 3:
      if (!m.invert(inv)) return;
      dc_.world = dc_.world.then(m);
      break;
    case 4:
      if (!m.invert(inv)) return;
      dc_.world = m;
      break;
    default:
      return;
  }
  updateTransform();
}

void GdiPlayer::updateTransform() {
  int mode = dc_.mapMode;
  if (viewportLocked_) mode = mode == kMmIsotropic ? kMmIsotropic : kMmAnisotropic;
  double sx = 1;
  double sy = 1;
  switch (mode) {
    case kMmLoMetric:
    case kMmHiMetric:
    case kMmLoEnglish:
    case kMmHiEnglish:
    case kMmTwips: {
      static constexpr double kMmPerUnit[] = {0.1, 0.01, 0.254, 0.0254, 25.4 / 1440};
      const double mm = kMmPerUnit[mode - kMmLoMetric];
      sx = devPerMmX_ * mm;
      sy = -devPerMmY_ * mm;
      break;
    }
    case kMmIsotropic:
    case kMmAnisotropic:
      sx = dc_.vpExt.x / dc_.winExt.x;
      sy = dc_.vpExt.y / dc_.winExt.y;
      if (mode == kMmIsotropic) {
        const double m = std::min(std::fabs(sx), std::fabs(sy));
        sx = std::copysign(m, sx);
        sy = std::copysign(m, sy);
      }
      break;
    default:
      break;
  }
  if (!std::isfinite(sx) || !std::isfinite(sy) || sx == 0 || sy == 0) sx = sy = 1;
  MfAffine page;
  page.a = sx;
  page.d = sy;
  page.e = dc_.vpOrg.x - dc_.winOrg.x * sx;
  page.f = dc_.vpOrg.y - dc_.winOrg.y * sy;
  transform_ = dc_.world.then(page).then(device_);
}

MfPoint GdiPlayer::toOutput(MfPoint p) const {
  const MfPoint q = transform_.map(p);
  return {double(roundToInt(q.x)), double(roundToInt(q.y))};
}

double GdiPlayer::lineScale() const {
  const double s = std::sqrt(std::fabs(transform_.a * transform_.d - transform_.b * transform_.c));
  return std::isfinite(s) ? s : 1;
}

MfRect GdiPlayer::outputRect(double l, double t, double r, double b) const {
  const MfPoint p[4] = {toOutput({l, t}), toOutput({r, t}), toOutput({l, b}), toOutput({r, b})};
  double x0 = p[0].x, x1 = p[0].x, y0 = p[0].y, y1 = p[0].y;
  for (const MfPoint& q : p) {
    x0 = std::min(x0, q.x);
    x1 = std::max(x1, q.x);
    y0 = std::min(y0, q.y);
    y1 = std::max(y1, q.y);
  }
  return {roundToInt(x0), roundToInt(y0), roundToInt(x1), roundToInt(y1)};
}

MfDrawState GdiPlayer::state() const {
  MfDrawState s;
  s.clip = dc_.clipped ? &dc_.clip : nullptr;
  s.rop = dc_.rop;
  s.winding = dc_.winding;
  s.opaqueBackground = dc_.opaque;
  s.background = dc_.bkColor;
  s.textColor = dc_.textColor;
  return s;
}

MfPen GdiPlayer::resolvePen() const {
  MfPen p;
  p.style = dc_.pen.style;
  p.color = dc_.pen.color;
  p.cap = dc_.pen.cap;
  p.join = dc_.pen.join;
  p.miterLimit = dc_.miterLimit;
  p.width = 1;
  if (!dc_.pen.cosmetic && dc_.pen.width > 0)
    p.width = std::clamp(dc_.pen.width * lineScale(), 1.0, 1e5);
  return p;
}

MfFont GdiPlayer::resolveFont() const {
  const double xs = std::hypot(transform_.a, transform_.b);
  const double ys = std::hypot(transform_.c, transform_.d);
  MfFont f;
  const GdiFont& g = dc_.font;
  f.height = g.height == 0 ? 16.0 : std::fabs(double(g.height)) * ys;
  f.cellHeight = g.height > 0;
  f.width = g.width == 0 ? 0.0 : std::fabs(double(g.width)) * xs;
  f.aspect = ys > 0 && std::isfinite(xs / ys) ? xs / ys : 1.0;
  f.weight = g.weight;
  f.italic = g.italic;
  f.underline = g.underline;
  f.strikeOut = g.strikeOut;
  // The escapement turns counter-clockwise in logical space: a mapping that mirrors an axis
  // turns it the other way on the picture.
  const double det = transform_.a * transform_.d - transform_.b * transform_.c;
  f.angle = (det < 0 ? -1 : 1) * g.escapement / 10.0;
  f.charset = g.charset;
  f.pitchAndFamily = g.pitchAndFamily;
  f.face = g.face;
  return f;
}

// --- objects -------------------------------------------------------------------------------------

void GdiPlayer::setObjectTableSize(std::size_t n) {
  objects_.assign(n, std::monostate{});
  used_.assign(n, false);
}

void GdiPlayer::addObject(GdiObject obj) {
  for (std::size_t i = 0; i < used_.size(); ++i) {
    if (!used_[i]) {
      objects_[i] = std::move(obj);
      used_[i] = true;
      return;
    }
  }
  // Writers that count their objects short: the table grows, as far as a 16-bit index reaches.
  if (objects_.size() < 0x10000) {
    objects_.push_back(std::move(obj));
    used_.push_back(true);
  }
}

void GdiPlayer::putObject(std::uint32_t index, GdiObject obj) {
  if (index >= 0x10000) return;
  if (index >= objects_.size()) {
    objects_.resize(index + 1);
    used_.resize(index + 1, false);
  }
  objects_[index] = std::move(obj);
  used_[index] = true;
}

GdiObject* GdiPlayer::objectAt(std::uint32_t index) {
  if (index >= objects_.size() || !used_[index]) return nullptr;
  return &objects_[index];
}

void GdiPlayer::selectObject(std::uint32_t index) {
  if (index & 0x80000000u) {
    selectStockObject(index & 0x7FFFFFFFu);
    return;
  }
  GdiObject* obj = objectAt(index);
  if (!obj) return;
  if (auto* pen = std::get_if<GdiPen>(obj)) {
    dc_.pen = *pen;
  } else if (auto* brush = std::get_if<MfBrush>(obj)) {
    dc_.brush = *brush;
  } else if (auto* font = std::get_if<GdiFont>(obj)) {
    dc_.font = *font;
  } else if (std::holds_alternative<GdiRegionObject>(*obj)) {
    selectClipObject(index);
  }
}

namespace {

bool stockBrush(std::uint32_t id, MfBrush& out) {
  static constexpr Color kBrushGreys[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
  if (id > 5 && id != 18) return false;
  out = MfBrush{};
  if (id == 5)
    out.kind = MfBrushKind::bkNull;
  else
    out.color = id == 18 ? 0xFFFFFF : kBrushGreys[id];
  return true;
}

}  // namespace

bool GdiPlayer::brushObject(std::uint32_t index, MfBrush& out) {
  if (index & 0x80000000u) return stockBrush(index & 0x7FFFFFFFu, out);
  GdiObject* obj = objectAt(index);
  auto* brush = obj ? std::get_if<MfBrush>(obj) : nullptr;
  if (!brush) return false;
  out = *brush;
  return true;
}

void GdiPlayer::selectStockObject(std::uint32_t id) {
  if (stockBrush(id, dc_.brush)) {
    return;
  } else if (id == 6 || id == 7 || id == 19) {
    dc_.pen = GdiPen{};
    dc_.pen.color = id == 6 ? 0xFFFFFF : 0x000000;
  } else if (id == 8) {
    dc_.pen = GdiPen{};
    dc_.pen.style = MfPenStyle::psNull;
  } else if (id >= 10 && id <= 17 && id != 15) {
    dc_.font = GdiFont{};
    const bool fixed = id == 10 || id == 11 || id == 16;
    dc_.font.face = fixed ? "Courier New" : "Arial";
    dc_.font.pitchAndFamily = fixed ? 0x31 : 0x22;
    dc_.font.height = id == 17 ? -11 : -13;
  }
}

void GdiPlayer::deleteObject(std::uint32_t index) {
  if (index >= objects_.size()) return;
  objects_[index] = std::monostate{};
  used_[index] = false;
}

// --- state stack ---------------------------------------------------------------------------------

void GdiPlayer::saveDc() {
  if (saved_.size() >= kMaxSavedStates) {
    // Keeps the depth bounded; the oldest state goes, as a later absolute restore could not
    // reach it in a sane file anyway.
    saved_.erase(saved_.begin());
  }
  saved_.push_back(dc_);
}

void GdiPlayer::restoreDc(int which) {
  std::size_t target;
  if (which < 0) {
    const std::size_t back = static_cast<std::size_t>(-static_cast<long long>(which));
    if (back > saved_.size()) return;
    target = saved_.size() - back;
  } else if (which > 0) {
    if (static_cast<std::size_t>(which) > saved_.size()) return;
    target = static_cast<std::size_t>(which) - 1;
  } else {
    return;
  }
  dc_ = std::move(saved_[target]);
  saved_.resize(target);
  updateTransform();
}

// --- clipping ------------------------------------------------------------------------------------

void GdiPlayer::combineClip(const MfRegion* region, int mode) {
  if (mode == 5) {
    if (region) {
      dc_.clip = *region;
      dc_.clipped = true;
    } else {
      dc_.clipped = false;
    }
    return;
  }
  if (!region || mode < 1 || mode > 4) return;
  MfRegion base = dc_.clipped ? dc_.clip : MfRegion(bounds_);
  switch (mode) {
    case 1:
      base.intersect(*region);
      break;
    case 2:
      base.unite(*region);
      break;
    case 3:
      base.exclusiveOr(*region);
      break;
    case 4:
      base.subtract(*region);
      break;
  }
  dc_.clip = std::move(base);
  dc_.clipped = true;
}

void GdiPlayer::intersectClipRect(double l, double t, double r, double b) {
  const MfRegion region(outputRect(l, t, r, b));
  combineClip(&region, 1);
}

void GdiPlayer::excludeClipRect(double l, double t, double r, double b) {
  const MfRegion region(outputRect(l, t, r, b));
  combineClip(&region, 4);
}

void GdiPlayer::offsetClip(double dx, double dy) {
  if (!dc_.clipped) return;
  const MfPoint o = toOutput({0, 0});
  const MfPoint p = toOutput({dx, dy});
  dc_.clip.offset(roundToInt(p.x - o.x), roundToInt(p.y - o.y));
}

void GdiPlayer::selectClipObject(std::uint32_t index) {
  GdiObject* obj = objectAt(index);
  auto* region = obj ? std::get_if<GdiRegionObject>(obj) : nullptr;
  if (!region) return;
  if (region->rects.empty()) {
    dc_.clipped = false;
    return;
  }
  MfRegion clip;
  for (const MfRect& r : region->rects) {
    const MfRect o = region->logical ? outputRect(r.left, r.top, r.right, r.bottom) : r;
    clip.unite(MfRegion(o));
  }
  combineClip(&clip, 5);
}

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

void GdiPlayer::polylineTo(const std::vector<MfPoint>& pts) {
  if (pts.empty()) return;
  MfPath seg;
  for (const MfPoint& p : pts) seg.lineTo(clampFar(toOutput(p)));
  const MfPoint start = clampFar(toOutput(dc_.cur));
  dc_.cur = pts.back();
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
  const MfPoint start = clampFar(toOutput(dc_.cur));
  dc_.cur = pts[i - 1];
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
