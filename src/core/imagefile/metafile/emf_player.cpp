// Enhanced metafile (EMF) records.
//
// Played: mapping modes (text, metric, isotropic, anisotropic) with window and viewport origins,
// extents and their scaling, world transforms, pens (CreatePen, ExtCreatePen), brushes (solid,
// hatched, null, DIB and monochrome patterns), stock objects, fonts (ExtCreateFontIndirectW),
// ExtTextOutA/W (alignment, current position, opaque and clipping rectangles, advances), colours,
// background mode, raster operations, fill mode, arc direction, MoveTo/LineTo, polylines,
// polygons, poly-polygons, Bézier curves and PolyDraw in 16 and 32 bits, rectangles, rounded
// rectangles, ellipses, arcs, chords, pies, ArcTo, SetPixel, paths (BeginPath to StrokeAndFillPath,
// CloseFigure, AbortPath), SaveDC/RestoreDC, clipping (IntersectClipRect, ExcludeClipRect,
// OffsetClipRgn, ExtSelectClipRgn), regions (FillRgn, PaintRgn, InvertRgn) and bitmaps (BitBlt,
// StretchBlt, StretchDIBits, SetDIBitsToDevice). Comments (EMF+ included), palettes, clip paths,
// alpha blends, gradients and the rest are skipped.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "imagefile/metafile/records.h"

namespace vorlino {

namespace {

constexpr std::uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr std::size_t kMinHeader = 88;

// One record, addressed by byte offsets from its start; reads outside give 0.
class Rec {
 public:
  Rec(const std::uint8_t* p, std::size_t size) : p_(p), size_(size) {}
  std::size_t size() const { return size_; }
  const std::uint8_t* at(std::size_t off) const { return p_ + off; }
  std::uint32_t u32(std::size_t off) const {
    if (off > size_ || size_ - off < 4) return 0;
    return p_[off] | (p_[off + 1] << 8) | (p_[off + 2] << 16) | (std::uint32_t{p_[off + 3]} << 24);
  }
  std::int32_t i32(std::size_t off) const { return static_cast<std::int32_t>(u32(off)); }
  int i16(std::size_t off) const {
    if (off > size_ || size_ - off < 2) return 0;
    return static_cast<std::int16_t>(p_[off] | (p_[off + 1] << 8));
  }
  float f32(std::size_t off) const {
    const std::uint32_t v = u32(off);
    float f;
    std::memcpy(&f, &v, sizeof f);
    return f;
  }
  MfPoint pt(std::size_t off) const { return {double(i32(off)), double(i32(off + 4))}; }
  MfPoint pt16(std::size_t off) const { return {double(i16(off)), double(i16(off + 2))}; }
  // Whether [off, off + n) lies inside the record.
  bool has(std::size_t off, std::size_t n) const { return off <= size_ && n <= size_ - off; }

 private:
  const std::uint8_t* p_;
  std::size_t size_;
};

struct EmfHeader {
  double frame[4] = {0, 0, 0, 0};  // hundredths of a millimetre
  std::size_t handles = 0;
  double devPerMmX = 96.0 / 25.4;
  double devPerMmY = 96.0 / 25.4;
  std::size_t bytes = 0;  // of the whole file as far as it holds
};

CodecResult readHeader(const std::uint8_t* data, std::size_t size, EmfHeader& h) {
  if (size < kMinHeader) return CodecResult::fail(CodecError::ceSignature, "short header");
  const Rec r(data, size);
  if (r.u32(0) != 1 || r.u32(40) != kEmfSignature)
    return CodecResult::fail(CodecError::ceSignature, "not an enhanced metafile");
  const std::uint32_t headerSize = r.u32(4);
  if (headerSize < kMinHeader || headerSize > size || headerSize % 4 != 0)
    return CodecResult::fail(CodecError::ceDamaged, "bad header size");
  const std::uint32_t nDescription = r.u32(60);
  const std::uint32_t offDescription = r.u32(64);
  if (nDescription != 0 && (offDescription < kMinHeader || offDescription > size ||
                            std::uint64_t{nDescription} * 2 > size - offDescription))
    return CodecResult::fail(CodecError::ceDamaged, "bad description");
  for (int i = 0; i < 4; ++i) h.frame[i] = r.i32(24 + 4 * static_cast<std::size_t>(i));
  if (!(h.frame[2] > h.frame[0]) || !(h.frame[3] > h.frame[1]))
    return CodecResult::fail(CodecError::ceDamaged, "empty frame");
  h.handles = r.u32(56) & 0xFFFF;
  const std::uint32_t nBytes = r.u32(48);
  h.bytes = nBytes >= headerSize && nBytes < size ? nBytes : size;
  const double devX = r.i32(72), devY = r.i32(76);
  double mmX = r.i32(80), mmY = r.i32(84);
  if (headerSize >= 108) {
    const double umX = r.i32(100), umY = r.i32(104);
    // The micrometre sizes refine the millimetre ones; some writers leave garbage there.
    if (umX > 0 && umY > 0 && std::fabs(umX / 1000 - mmX) <= 1 &&
        std::fabs(umY / 1000 - mmY) <= 1) {
      mmX = umX / 1000;
      mmY = umY / 1000;
    }
  }
  if (devX > 0 && devY > 0 && mmX > 0 && mmY > 0) {
    h.devPerMmX = devX / mmX;
    h.devPerMmY = devY / mmY;
  }
  return CodecResult::success();
}

template <class Visit>
void walkRecords(const std::uint8_t* data, std::size_t size, Visit&& visit) {
  std::size_t pos = 0;
  while (size - pos >= 8) {
    const Rec head(data + pos, 8);
    const std::uint32_t type = head.u32(0);
    const std::uint32_t bytes = head.u32(4);
    if (bytes < 8 || bytes % 4 != 0 || bytes > size - pos) return;
    if (type == 14) return;  // end of file
    if (!visit(type, Rec(data + pos, bytes))) return;
    pos += bytes;
  }
}

MfPenStyle penStyle(std::uint32_t style) {
  switch (style & 0xF) {
    case 1:
      return MfPenStyle::psDash;
    case 2:
      return MfPenStyle::psDot;
    case 3:
      return MfPenStyle::psDashDot;
    case 4:
      return MfPenStyle::psDashDotDot;
    case 5:
      return MfPenStyle::psNull;
    case 8:
      return MfPenStyle::psDot;
    default:
      return MfPenStyle::psSolid;
  }
}

class EmfPlayer {
 public:
  EmfPlayer(GdiPlayer& gdi, const MetafileLayout& layout, const DecodeLimits& limits)
      : gdi_(gdi), layout_(layout), limits_(limits) {}
  void play(std::uint32_t type, const Rec& r);

 private:
  // Points of a poly record: count at `countAt`, points from `countAt + 4`.
  bool readPoints(const Rec& r, std::size_t countAt, bool small, std::vector<MfPoint>& pts) const;
  void polyPoly(const Rec& r, bool small, bool polygon);
  void polyDraw(const Rec& r, bool small);
  bool readDib(const Rec& r, std::size_t offBmi, std::size_t cbBmi, std::size_t offBits,
               std::size_t cbBits, bool paletteIndices, MetafileDib& dib) const;
  bool readRegion(const Rec& r, std::size_t at, std::size_t bytes, MfRegion& region) const;
  void createPen(const Rec& r);
  void extCreatePen(const Rec& r);
  void createBrush(const Rec& r);
  void createPatternBrush(const Rec& r, bool mono);
  void createFont(const Rec& r);
  void textOut(const Rec& r, bool wide);
  void blit(const Rec& r, bool stretch);
  void stretchDibits(const Rec& r);
  void setDibitsToDevice(const Rec& r);

  GdiPlayer& gdi_;
  const MetafileLayout& layout_;
  const DecodeLimits& limits_;
};

bool EmfPlayer::readPoints(const Rec& r, std::size_t countAt, bool small,
                           std::vector<MfPoint>& pts) const {
  const std::size_t n = r.u32(countAt);
  const std::size_t each = small ? 4 : 8;
  if (n > (r.size() - std::min(r.size(), countAt + 4)) / each) return false;
  pts.clear();
  pts.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t off = countAt + 4 + i * each;
    pts.push_back(small ? r.pt16(off) : r.pt(off));
  }
  return true;
}

void EmfPlayer::polyPoly(const Rec& r, bool small, bool polygon) {
  const std::size_t polys = r.u32(24);
  const std::size_t total = r.u32(28);
  const std::size_t each = small ? 4 : 8;
  if (!r.has(32, 0) || polys > (r.size() - 32) / 4) return;
  const std::size_t pointsAt = 32 + 4 * polys;
  if (total > (r.size() - pointsAt) / each) return;
  std::vector<std::vector<MfPoint>> list;
  list.reserve(polys);
  std::size_t used = 0;
  for (std::size_t i = 0; i < polys; ++i) {
    const std::size_t n = r.u32(32 + 4 * i);
    if (n > total - used) return;
    std::vector<MfPoint> pts;
    pts.reserve(n);
    for (std::size_t k = 0; k < n; ++k) {
      const std::size_t off = pointsAt + (used + k) * each;
      pts.push_back(small ? r.pt16(off) : r.pt(off));
    }
    used += n;
    list.push_back(std::move(pts));
  }
  if (polygon)
    gdi_.polyPolygon(list);
  else
    gdi_.polyPolyline(list);
}

void EmfPlayer::polyDraw(const Rec& r, bool small) {
  // Points, then one type byte per point: move (6), line (2), Bézier (4, in threes), plus 1
  // when the figure closes after that point.
  std::vector<MfPoint> pts;
  if (!readPoints(r, 24, small, pts)) return;
  const std::size_t typesAt = 28 + pts.size() * (small ? 4 : 8);
  if (!r.has(typesAt, pts.size())) return;
  MfPoint start = pts.empty() ? MfPoint{} : pts[0];
  for (std::size_t i = 0; i < pts.size(); ++i) {
    unsigned type = *r.at(typesAt + i);
    switch (type & ~1u) {
      case 6:
        gdi_.moveTo(pts[i]);
        start = pts[i];
        break;
      case 2:
        gdi_.lineTo(pts[i]);
        break;
      case 4:
        if (i + 2 >= pts.size()) return;
        gdi_.polyBezierTo({pts[i], pts[i + 1], pts[i + 2]});
        i += 2;
        type = *r.at(typesAt + i);
        break;
      default:
        return;
    }
    if (type & 1) gdi_.closeFigureAt(start);
  }
}

bool EmfPlayer::readDib(const Rec& r, std::size_t offBmi, std::size_t cbBmi, std::size_t offBits,
                        std::size_t cbBits, bool paletteIndices, MetafileDib& dib) const {
  if (cbBmi == 0 || !r.has(offBmi, cbBmi) || !r.has(offBits, cbBits)) return false;
  return readMetafileDib(r.at(offBmi), cbBmi, r.at(offBits), cbBits, paletteIndices, limits_, dib);
}

bool EmfPlayer::readRegion(const Rec& r, std::size_t at, std::size_t bytes,
                           MfRegion& region) const {
  // RGNDATAHEADER (size, type, count, region size, bounds) then the rectangles, in device units.
  if (bytes < 32 || !r.has(at, bytes)) return false;
  const std::size_t count = r.u32(at + 8);
  if (count > (bytes - 32) / 16) return false;
  const MfAffine& m = layout_.deviceToOutput;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t off = at + 32 + 16 * i;
    const MfPoint a = m.map(r.pt(off));
    const MfPoint b = m.map(r.pt(off + 8));
    auto toInt = [](double v) {
      return static_cast<int>(std::nearbyint(std::clamp(v, -1e7, 1e7)));
    };
    const MfRect rect{toInt(std::min(a.x, b.x)), toInt(std::min(a.y, b.y)),
                      toInt(std::max(a.x, b.x)), toInt(std::max(a.y, b.y))};
    region.unite(MfRegion(rect));
  }
  return true;
}

void EmfPlayer::createPen(const Rec& r) {
  GdiPen pen;
  const std::uint32_t style = r.u32(12);
  pen.style = penStyle(style);
  pen.width = std::abs(static_cast<double>(r.i32(16)));
  pen.cosmetic = pen.width <= 1 && !(style & 0x10000);
  pen.color = r.u32(24) & 0xFFFFFF;
  gdi_.putObject(r.u32(8), pen);
}

void EmfPlayer::extCreatePen(const Rec& r) {
  GdiPen pen;
  const std::uint32_t style = r.u32(28);
  pen.style = penStyle(style);
  pen.cosmetic = !(style & 0x10000);
  pen.width = pen.cosmetic ? 0 : static_cast<double>(r.u32(32));
  if (r.u32(36) == 1) pen.style = MfPenStyle::psNull;  // a null brush draws nothing
  pen.color = r.u32(40) & 0xFFFFFF;
  switch (style & 0xF00) {
    case 0x100:
      pen.cap = MfLineCap::lcSquare;
      break;
    case 0x200:
      pen.cap = MfLineCap::lcFlat;
      break;
    default:
      break;
  }
  switch (style & 0xF000) {
    case 0x1000:
      pen.join = MfLineJoin::ljBevel;
      break;
    case 0x2000:
      pen.join = MfLineJoin::ljMiter;
      break;
    default:
      break;
  }
  gdi_.putObject(r.u32(8), pen);
}

void EmfPlayer::createBrush(const Rec& r) {
  MfBrush brush;
  const std::uint32_t style = r.u32(12);
  brush.color = r.u32(16) & 0xFFFFFF;
  if (style == 1) {
    brush.kind = MfBrushKind::bkNull;
  } else if (style == 2) {
    brush.kind = MfBrushKind::bkHatched;
    brush.hatch = static_cast<MfHatch>(std::min<std::uint32_t>(r.u32(20), 5));
  }
  gdi_.putObject(r.u32(8), brush);
}

void EmfPlayer::createPatternBrush(const Rec& r, bool mono) {
  MfBrush brush;
  MetafileDib dib;
  if (readDib(r, r.u32(16), r.u32(20), r.u32(24), r.u32(28), r.u32(12) == 1, dib)) {
    brush.kind = MfBrushKind::bkPattern;
    brush.monochrome = mono && dib.monochrome;
    brush.pattern = std::make_shared<Bitmap>(std::move(dib.image));
  }
  gdi_.putObject(r.u32(8), std::move(brush));
}

void EmfPlayer::createFont(const Rec& r) {
  GdiFont f;
  f.height = r.i32(12);
  f.width = r.i32(16);
  f.escapement = r.i32(20);
  f.weight = r.i32(28);
  if (r.has(32, 8)) {
    const std::uint8_t* b = r.at(32);
    f.italic = b[0] != 0;
    f.underline = b[1] != 0;
    f.strikeOut = b[2] != 0;
    f.charset = b[3];
    f.pitchAndFamily = b[7];
  }
  // The face name: up to 32 UTF-16 units, to UTF-8.
  for (std::size_t i = 0; i < 32 && r.has(40 + 2 * i, 2); ++i) {
    const unsigned c = static_cast<std::uint16_t>(r.i16(40 + 2 * i));
    if (c == 0) break;
    if (c < 0x80) {
      f.face.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      f.face.push_back(static_cast<char>(0xC0 | (c >> 6)));
      f.face.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      f.face.push_back(static_cast<char>(0xE0 | (c >> 12)));
      f.face.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      f.face.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  gdi_.putObject(r.u32(8), f);
}

void EmfPlayer::textOut(const Rec& r, bool wide) {
  // EMRTEXT at 36: reference, count, string offset, options, rectangle, advances offset.
  const MfPoint ref = r.pt(36);
  const std::size_t count = r.u32(44);
  const std::size_t offString = r.u32(48);
  const std::uint32_t options = r.u32(52);
  const std::size_t offDx = r.u32(72);
  GdiPlayer::TextOptions opt;
  opt.opaque = (options & 0x2) != 0;
  opt.clipped = (options & 0x4) != 0;
  for (int i = 0; i < 4; ++i) opt.rect[i] = r.i32(56 + 4 * static_cast<std::size_t>(i));
  const std::size_t unit = wide ? 2 : 1;
  if (count > r.size() / unit || !r.has(offString, count * unit)) {
    gdi_.textOut(ref, {}, {}, opt);
    return;
  }
  std::vector<double> dx;
  const std::size_t dxEach = (options & 0x2000) ? 8 : 4;  // ETO_PDY: x and y advances
  if (offDx != 0 && count <= r.size() / dxEach && r.has(offDx, count * dxEach)) {
    dx.reserve(count);
    for (std::size_t i = 0; i < count; ++i) dx.push_back(r.i32(offDx + i * dxEach));
  }
  if (options & 0x10) {  // glyph indices cannot be drawn without the font file
    gdi_.textOut(ref, {}, {}, opt);
    return;
  }
  if (wide) {
    std::u16string text;
    text.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
      text.push_back(static_cast<char16_t>(static_cast<std::uint16_t>(r.i16(offString + 2 * i))));
    gdi_.textOut(ref, text, dx, opt);
  } else {
    gdi_.textOutAnsi(ref, r.at(offString), count, dx, opt);
  }
}

void EmfPlayer::blit(const Rec& r, bool stretch) {
  const double x = r.i32(24), y = r.i32(28), w = r.i32(32), h = r.i32(36);
  const std::uint32_t rop = r.u32(40);
  const double sx = r.i32(44), sy = r.i32(48);
  const std::size_t cbBmi = r.u32(88);
  if (cbBmi == 0) {  // no source: a pattern fill
    gdi_.stretchBlt({}, x, y, w, h, 0, 0, 0, 0, rop);
    return;
  }
  MetafileDib dib;
  if (!readDib(r, r.u32(84), cbBmi, r.u32(92), r.u32(96), r.u32(80) == 1, dib)) return;
  const double sw = stretch ? r.i32(100) : w;
  const double sh = stretch ? r.i32(104) : h;
  gdi_.stretchBlt(dib, x, y, w, h, sx, sy, sw, sh, rop);
}

void EmfPlayer::stretchDibits(const Rec& r) {
  MetafileDib dib;
  if (!readDib(r, r.u32(48), r.u32(52), r.u32(56), r.u32(60), r.u32(64) == 1, dib)) {
    const BlitOp op = reduceRop3(r.u32(68));
    if (!op.usesSource) gdi_.patBlt(r.i32(24), r.i32(28), r.i32(72), r.i32(76), op.rop);
    return;
  }
  const double sh = r.i32(44);
  double sy = r.i32(36);
  // Source rows count from the bottom of a bottom-up DIB.
  if (dib.bottomUp) sy = dib.image.height() - (sy + sh);
  gdi_.stretchBlt(dib, r.i32(24), r.i32(28), r.i32(72), r.i32(76), r.i32(32), sy, r.i32(40), sh,
                  r.u32(68));
}

void EmfPlayer::setDibitsToDevice(const Rec& r) {
  MetafileDib dib;
  if (!readDib(r, r.u32(48), r.u32(52), r.u32(56), r.u32(60), r.u32(64) == 1, dib)) return;
  const double w = r.i32(40), h = r.i32(44);
  double sy = r.i32(36);
  if (dib.bottomUp) sy = dib.image.height() - (sy + h);
  gdi_.stretchBlt(dib, r.i32(24), r.i32(28), w, h, r.i32(32), sy, w, h, 0xCC0020);
}

void EmfPlayer::play(std::uint32_t type, const Rec& r) {
  std::vector<MfPoint> pts;
  switch (type) {
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 85:
    case 86:
    case 87:
    case 88:
    case 89: {
      const bool small = type >= 85;
      if (!readPoints(r, 24, small, pts)) break;
      switch (small ? type - 83 : type) {
        case 2:
          gdi_.polyBezier(pts);
          break;
        case 3:
          gdi_.polygon(pts);
          break;
        case 4:
          gdi_.polyline(pts);
          break;
        case 5:
          gdi_.polyBezierTo(pts);
          break;
        case 6:
          gdi_.polylineTo(pts);
          break;
        default:
          break;
      }
      break;
    }
    case 7:
      polyPoly(r, false, false);
      break;
    case 8:
      polyPoly(r, false, true);
      break;
    case 90:
      polyPoly(r, true, false);
      break;
    case 91:
      polyPoly(r, true, true);
      break;
    case 9:
      gdi_.setWindowExt(r.pt(8));
      break;
    case 10:
      gdi_.setWindowOrg(r.pt(8));
      break;
    case 11:
      gdi_.setViewportExt(r.pt(8));
      break;
    case 12:
      gdi_.setViewportOrg(r.pt(8));
      break;
    case 15:
      gdi_.setPixel(r.pt(8), r.u32(16));
      break;
    case 17:
      gdi_.setMapMode(r.i32(8));
      break;
    case 18:
      gdi_.setBkMode(r.i32(8));
      break;
    case 19:
      gdi_.setPolyFillMode(r.i32(8));
      break;
    case 20:
      gdi_.setRop2(r.i32(8));
      break;
    case 22:
      gdi_.setTextAlign(r.u32(8));
      break;
    case 24:
      gdi_.setTextColor(r.u32(8));
      break;
    case 25:
      gdi_.setBkColor(r.u32(8));
      break;
    case 26:
      gdi_.offsetClip(r.i32(8), r.i32(12));
      break;
    case 27:
      gdi_.moveTo(r.pt(8));
      break;
    case 29:
      gdi_.excludeClipRect(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
      break;
    case 30:
      gdi_.intersectClipRect(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
      break;
    case 31:
      gdi_.scaleViewportExt(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
      break;
    case 32:
      gdi_.scaleWindowExt(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
      break;
    case 33:
      gdi_.saveDc();
      break;
    case 34:
      gdi_.restoreDc(r.i32(8));
      break;
    case 35:
    case 36: {
      const MfAffine m{r.f32(8), r.f32(12), r.f32(16), r.f32(20), r.f32(24), r.f32(28)};
      if (!std::isfinite(m.a) || !std::isfinite(m.b) || !std::isfinite(m.c) ||
          !std::isfinite(m.d) || !std::isfinite(m.e) || !std::isfinite(m.f))
        break;
      if (type == 35)
        gdi_.setWorldTransform(m);
      else
        gdi_.modifyWorldTransform(m, r.i32(32));
      break;
    }
    case 37:
      gdi_.selectObject(r.u32(8));
      break;
    case 38:
      createPen(r);
      break;
    case 39:
      createBrush(r);
      break;
    case 40:
      gdi_.deleteObject(r.u32(8));
      break;
    case 42:
      gdi_.ellipse(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
      break;
    case 43:
      gdi_.rectangle(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
      break;
    case 44:
      gdi_.roundRect(r.i32(8), r.i32(12), r.i32(16), r.i32(20), r.i32(24), r.i32(28));
      break;
    case 45:
    case 46:
    case 47:
    case 55: {
      const auto kind = type == 45   ? GdiPlayer::ArcKind::akArc
                        : type == 46 ? GdiPlayer::ArcKind::akChord
                        : type == 47 ? GdiPlayer::ArcKind::akPie
                                     : GdiPlayer::ArcKind::akArcTo;
      gdi_.arc(r.i32(8), r.i32(12), r.i32(16), r.i32(20), r.pt(24), r.pt(32), kind);
      break;
    }
    case 48:
      break;  // palettes are not used for drawing
    case 49:
      gdi_.putObject(r.u32(8), std::monostate{});
      break;
    case 54:
      gdi_.lineTo(r.pt(8));
      break;
    case 56:
      polyDraw(r, false);
      break;
    case 92:
      polyDraw(r, true);
      break;
    case 57:
      gdi_.setArcDirection(r.i32(8));
      break;
    case 58:
      gdi_.setMiterLimit(r.u32(8));
      break;
    case 59:
      gdi_.beginPath();
      break;
    case 60:
      gdi_.endPath();
      break;
    case 61:
      gdi_.closeFigure();
      break;
    case 62:
      gdi_.fillPath();
      break;
    case 63:
      gdi_.strokeAndFillPath();
      break;
    case 64:
      gdi_.strokePath();
      break;
    case 68:
      gdi_.abortPath();
      break;
    case 71:
    case 73:
    case 74: {  // FillRgn (its own brush), InvertRgn, PaintRgn (the current brush)
      MfRegion region;
      if (!readRegion(r, type == 71 ? 32 : 28, r.u32(24), region)) break;
      MfBrush brush;
      if (type == 71) {
        if (gdi_.brushObject(r.u32(28), brush))
          gdi_.fillRegionRects(region.rects(), brush, kRopCopy);
      } else if (type == 73) {
        gdi_.fillRegionRects(region.rects(), brush, 5);
      } else {
        gdi_.fillRegionRects(region.rects(), gdi_.currentBrush(), kRopCopy);
      }
      break;
    }
    case 75: {
      const std::size_t bytes = r.u32(8);
      const int mode = r.i32(12);
      if (bytes == 0) {
        if (mode == 5) gdi_.combineClip(nullptr, 5);
        break;
      }
      MfRegion region;
      if (readRegion(r, 16, bytes, region)) gdi_.combineClip(&region, mode);
      break;
    }
    case 76:
      blit(r, false);
      break;
    case 77:
      blit(r, true);
      break;
    case 80:
      setDibitsToDevice(r);
      break;
    case 81:
      stretchDibits(r);
      break;
    case 82:
      createFont(r);
      break;
    case 83:
      textOut(r, false);
      break;
    case 84:
      textOut(r, true);
      break;
    case 93:
      createPatternBrush(r, true);
      break;
    case 94:
      createPatternBrush(r, false);
      break;
    case 95:
      extCreatePen(r);
      break;
    default:
      break;
  }
}

}  // namespace

CodecResult measureEmf(const ByteReader& in, MetafileLayout& layout, const DecodeLimits& limits) {
  EmfHeader h;
  CodecResult r = readHeader(in.data() + in.position(), in.remaining(), h);
  if (!r.ok()) return r;
  MetafileLayout out;
  const double mmToPixel = 96.0 / 2540.0;  // hundredths of a millimetre at 96 dpi
  r = checkMetafileSize((h.frame[2] - h.frame[0]) * mmToPixel,
                        (h.frame[3] - h.frame[1]) * mmToPixel, limits, out);
  if (!r.ok()) return r;
  // The frame on the reference device, stretched onto the picture.
  const double x0 = h.frame[0] / 100 * h.devPerMmX, x1 = h.frame[2] / 100 * h.devPerMmX;
  const double y0 = h.frame[1] / 100 * h.devPerMmY, y1 = h.frame[3] / 100 * h.devPerMmY;
  MfAffine m;
  m.a = out.width / (x1 - x0);
  m.d = out.height / (y1 - y0);
  m.e = -x0 * m.a;
  m.f = -y0 * m.d;
  if (!std::isfinite(m.a) || !std::isfinite(m.d) || !std::isfinite(m.e) || !std::isfinite(m.f))
    return CodecResult::fail(CodecError::ceDamaged, "bad frame");
  out.deviceToOutput = m;
  out.devicePerMmX = h.devPerMmX;
  out.devicePerMmY = h.devPerMmY;
  layout = out;
  return CodecResult::success();
}

CodecResult playEmf(const ByteReader& in, const MetafileLayout& layout, MetafileCanvas& canvas,
                    const DecodeLimits& limits) {
  const std::uint8_t* data = in.data() + in.position();
  EmfHeader h;
  CodecResult r = readHeader(data, in.remaining(), h);
  if (!r.ok()) return r;
  GdiPlayer gdi(canvas, {0, 0, layout.width, layout.height});
  gdi.setObjectTableSize(h.handles);
  gdi.setDeviceResolution(layout.devicePerMmX, layout.devicePerMmY);
  gdi.setDeviceTransform(layout.deviceToOutput);
  EmfPlayer player(gdi, layout, limits);
  walkRecords(data, h.bytes, [&](std::uint32_t type, const Rec& rec) {
    if (type != 1) player.play(type, rec);
    return true;
  });
  return CodecResult::success();
}

}  // namespace vorlino
