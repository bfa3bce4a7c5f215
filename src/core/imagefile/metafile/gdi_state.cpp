// GDI state machine shared by the WMF and EMF players: mapping, objects, saved states and
// clipping. The drawing operations are in metafile_gdi_draw.cpp.
#include "imagefile/metafile/gdi_state.h"

#include <algorithm>
#include <cmath>

#include "imagefile/metafile/gdi_detail.h"

namespace vorlino {

using namespace gdi_detail;

namespace {

// Windows-1252 in 0x80..0x9F; the rest of the set is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr int kAnsiCharset = 0;
constexpr int kDefaultCharset = 1;

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

}  // namespace vorlino
