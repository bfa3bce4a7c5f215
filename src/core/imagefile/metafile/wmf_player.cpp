// Windows metafile (WMF) records, placeable (with the 22-byte key header) or plain.
//
// Played: window origin and extent (the viewport is the output picture), isotropic mapping,
// pens, brushes (solid, hatched, null, DIB and monochrome patterns), fonts, TextOut and
// ExtTextOut (opaque and clipping rectangles, character advances), text alignment and colours,
// background mode and colour, raster operations, fill mode, MoveTo/LineTo, polylines, polygons,
// poly-polygons, rectangles, rounded rectangles, ellipses, arcs, pies, chords, SetPixel, PatBlt,
// SaveDC/RestoreDC, IntersectClipRect, ExcludeClipRect, OffsetClipRgn, regions (CreateRegion,
// SelectClipRegion, FillRegion, PaintRegion, InvertRegion), and bitmaps (StretchDIBits,
// DIBStretchBlt, DIBBitBlt, SetDIBitsToDevice, and the old BitBlt/StretchBlt with a device bitmap).
// Escapes, palettes and other records are skipped.
#include <algorithm>
#include <cmath>

#include "imagefile/metafile/records.h"

namespace vorlino {

namespace {

constexpr std::size_t kPlaceableSize = 22;
constexpr std::size_t kHeaderSize = 18;

// Parameters of one record: 16-bit words, read in bounds or as 0.
class Params {
 public:
  Params(const std::uint8_t* p, std::size_t words) : p_(p), words_(words) {}
  std::size_t words() const { return words_; }
  std::size_t bytes() const { return words_ * 2; }
  const std::uint8_t* at(std::size_t word) const { return p_ + 2 * word; }
  std::uint16_t u(std::size_t i) const {
    return i < words_ ? static_cast<std::uint16_t>(p_[2 * i] | (p_[2 * i + 1] << 8)) : 0;
  }
  int s(std::size_t i) const { return static_cast<std::int16_t>(u(i)); }
  std::uint32_t u32(std::size_t i) const { return u(i) | (std::uint32_t{u(i + 1)} << 16); }
  MfPoint pt(std::size_t i) const { return {double(s(i)), double(s(i + 1))}; }
  // A point stored y first, as most records store their coordinates.
  MfPoint ptYX(std::size_t i) const { return {double(s(i + 1)), double(s(i))}; }

 private:
  const std::uint8_t* p_;
  std::size_t words_;
};

struct WmfHeader {
  bool placeable = false;
  int left = 0, top = 0, right = 0, bottom = 0;
  unsigned unitsPerInch = 0;
  std::size_t recordsStart = 0;  // offset of the first record from the start of the data
  std::size_t objects = 0;
};

CodecResult readHeader(const std::uint8_t* data, std::size_t size, WmfHeader& h) {
  std::size_t pos = 0;
  auto get16 = [&](std::size_t at) {
    return static_cast<std::uint16_t>(data[at] | (data[at + 1] << 8));
  };
  if (size >= 4 && (data[0] | (data[1] << 8) | (data[2] << 16) | (std::uint32_t{data[3]} << 24)) ==
                       kPlaceableWmfKey) {
    if (size < kPlaceableSize + kHeaderSize)
      return CodecResult::fail(CodecError::ceDamaged, "short placeable header");
    h.placeable = true;
    h.left = static_cast<std::int16_t>(get16(6));
    h.top = static_cast<std::int16_t>(get16(8));
    h.right = static_cast<std::int16_t>(get16(10));
    h.bottom = static_cast<std::int16_t>(get16(12));
    h.unitsPerInch = get16(14);
    if (h.unitsPerInch == 0) return CodecResult::fail(CodecError::ceDamaged, "zero units per inch");
    if (h.right == h.left || h.bottom == h.top)
      return CodecResult::fail(CodecError::ceDamaged, "empty bounding box");
    pos = kPlaceableSize;
  }
  if (size < pos + kHeaderSize) return CodecResult::fail(CodecError::ceSignature, "short header");
  const unsigned type = get16(pos);
  const unsigned headerWords = get16(pos + 2);
  const unsigned version = get16(pos + 4);
  if ((type != 1 && type != 2) || headerWords != 9 || (version != 0x100 && version != 0x300))
    return CodecResult::fail(CodecError::ceSignature, "not a metafile header");
  h.objects = get16(pos + 10);
  h.recordsStart = pos + kHeaderSize;
  return CodecResult::success();
}

// One record of the walk.
struct Record {
  unsigned function = 0;
  Params params{nullptr, 0};
};

// Walks the records from the start; stops at the end record, at the end of the data, or at a
// record whose size does not fit. Visit returns false to stop early.
template <class Visit>
void walkRecords(const std::uint8_t* data, std::size_t size, std::size_t start, Visit&& visit) {
  std::size_t pos = start;
  while (size - pos >= 6) {
    const std::uint32_t words = data[pos] | (data[pos + 1] << 8) | (data[pos + 2] << 16) |
                                (std::uint32_t{data[pos + 3]} << 24);
    const unsigned function = data[pos + 4] | (data[pos + 5] << 8);
    if (function == 0) return;  // end of file record
    if (words < 3 || words > (size - pos) / 2) return;
    Record r;
    r.function = function;
    r.params = Params(data + pos + 6, words - 3);
    if (!visit(r)) return;
    pos += std::size_t{words} * 2;
  }
}

// Functions that draw something: the window in effect at the first of them sizes a plain file.
bool drawsSomething(unsigned f) {
  switch (f) {
    case 0x0213:
    case 0x0324:
    case 0x0325:
    case 0x0538:
    case 0x041B:
    case 0x061C:
    case 0x0418:
    case 0x0817:
    case 0x081A:
    case 0x0830:
    case 0x0521:
    case 0x0A32:
    case 0x061D:
    case 0x0922:
    case 0x0B23:
    case 0x0940:
    case 0x0B41:
    case 0x0F43:
    case 0x0D33:
    case 0x041F:
    case 0x0228:
    case 0x012B:
      return true;
    default:
      return false;
  }
}

MfPenStyle penStyle(unsigned style) {
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
      return MfPenStyle::psDot;  // alternate pixels
    default:
      return MfPenStyle::psSolid;
  }
}

class WmfPlayer {
 public:
  WmfPlayer(GdiPlayer& gdi, const DecodeLimits& limits) : gdi_(gdi), limits_(limits) {}
  void play(const Record& r);

 private:
  std::vector<MfPoint> points(const Params& p, std::size_t first, std::size_t count) const {
    std::vector<MfPoint> pts;
    pts.reserve(count);
    for (std::size_t i = 0; i < count; ++i) pts.push_back(p.pt(first + 2 * i));
    return pts;
  }
  void createPen(const Params& p);
  void createBrush(const Params& p);
  void createFont(const Params& p);
  void createRegion(const Params& p);
  void createDibPatternBrush(const Params& p);
  void createPatternBrush(const Params& p);
  void polyPolygon(const Params& p);
  void textOut(const Params& p);
  void extTextOut(const Params& p);
  void dibBlit(const Params& p, std::size_t dibWord, bool stretch, bool fromBottom,
               std::uint32_t rop, double dx, double dy, double dw, double dh, double sx, double sy,
               double sw, double sh, bool paletteIndices);

  GdiPlayer& gdi_;
  const DecodeLimits& limits_;
};

void WmfPlayer::createPen(const Params& p) {
  GdiPen pen;
  const unsigned style = p.u(0);
  pen.style = penStyle(style);
  pen.width = p.s(1) < 0 ? -p.s(1) : p.s(1);
  pen.cosmetic = pen.width <= 1;
  pen.color = p.u32(3) & 0xFFFFFF;
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
  gdi_.addObject(pen);
}

void WmfPlayer::createBrush(const Params& p) {
  MfBrush brush;
  const unsigned style = p.u(0);
  brush.color = p.u32(1) & 0xFFFFFF;
  if (style == 1) {
    brush.kind = MfBrushKind::bkNull;
  } else if (style == 2) {
    brush.kind = MfBrushKind::bkHatched;
    brush.hatch = static_cast<MfHatch>(std::min(p.u(3), std::uint16_t{5}));
  }
  // Pattern styles here carry no bitmap; they paint as a solid brush of the given colour.
  gdi_.addObject(brush);
}

void WmfPlayer::createFont(const Params& p) {
  GdiFont f;
  f.height = p.s(0);
  f.width = p.s(1);
  f.escapement = p.s(2);
  f.weight = p.s(4);
  if (p.bytes() >= 18) {
    const std::uint8_t* b = p.at(5);
    f.italic = b[0] != 0;
    f.underline = b[1] != 0;
    f.strikeOut = b[2] != 0;
    f.charset = b[3];
    f.pitchAndFamily = b[7];
    const std::size_t faceBytes = std::min<std::size_t>(32, p.bytes() - 18);
    const std::uint8_t* face = b + 8;
    std::size_t n = 0;
    while (n < faceBytes && face[n] != 0) ++n;
    // Face names are in the system code page; keep them as Latin-1 in UTF-8.
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint8_t c = face[i];
      if (c < 0x80) {
        f.face.push_back(static_cast<char>(c));
      } else {
        f.face.push_back(static_cast<char>(0xC0 | (c >> 6)));
        f.face.push_back(static_cast<char>(0x80 | (c & 0x3F)));
      }
    }
  }
  gdi_.addObject(f);
}

void WmfPlayer::createRegion(const Params& p) {
  // nextInChain, objectType, objectCount (2 words), regionSize, scanCount, maxScan, bounding box
  GdiRegionObject region;
  const std::size_t scans = p.u(6);
  std::size_t at = 12;
  for (std::size_t i = 0; i < scans && at + 3 <= p.words(); ++i) {
    const std::size_t xs = p.u(at);
    const int top = p.s(at + 1);
    const int bottom = p.s(at + 2);
    if (xs % 2 != 0 || at + 3 + xs + 1 > p.words()) break;
    for (std::size_t k = 0; k + 1 < xs && region.rects.size() < MfRegion::kMaxRects; k += 2) {
      const MfRect r{p.s(at + 3 + k), top, p.s(at + 4 + k), bottom};
      if (!r.empty()) region.rects.push_back(r);
    }
    at += 3 + xs + 1;
  }
  gdi_.addObject(std::move(region));
}

void WmfPlayer::createDibPatternBrush(const Params& p) {
  MfBrush brush;
  MetafileDib dib;
  if (p.words() > 2 &&
      readMetafileDib(p.at(2), p.bytes() - 4, nullptr, 0, p.u(1) == 1, limits_, dib)) {
    brush.kind = MfBrushKind::bkPattern;
    brush.monochrome = false;
    brush.pattern = std::make_shared<Bitmap>(std::move(dib.image));
  }
  gdi_.addObject(std::move(brush));
}

void WmfPlayer::createPatternBrush(const Params& p) {
  // A 14-byte device bitmap header, 18 reserved bytes, then the rows.
  MfBrush brush;
  MetafileDib dib;
  if (p.bytes() > 32 && readMetafileBitmap16(p.at(0), p.at(16), p.bytes() - 32, limits_, dib)) {
    brush.kind = MfBrushKind::bkPattern;
    brush.monochrome = dib.monochrome;
    brush.pattern = std::make_shared<Bitmap>(std::move(dib.image));
  }
  gdi_.addObject(std::move(brush));
}

void WmfPlayer::polyPolygon(const Params& p) {
  const std::size_t polys = p.u(0);
  if (polys + 1 > p.words()) return;
  std::size_t total = 0;
  for (std::size_t i = 0; i < polys; ++i) total += p.u(1 + i);
  std::size_t at = 1 + polys;
  if (total > (p.words() - at) / 2) return;
  std::vector<std::vector<MfPoint>> list;
  list.reserve(polys);
  for (std::size_t i = 0; i < polys; ++i) {
    const std::size_t n = p.u(1 + i);
    list.push_back(points(p, at, n));
    at += 2 * n;
  }
  gdi_.polyPolygon(list);
}

void WmfPlayer::textOut(const Params& p) {
  const std::size_t count = p.u(0);
  const std::size_t strWords = (count + 1) / 2;
  if (1 + strWords + 2 > p.words()) return;
  const MfPoint ref = p.ptYX(1 + strWords);
  gdi_.textOutAnsi(ref, p.at(1), count, {}, {});
}

void WmfPlayer::extTextOut(const Params& p) {
  if (p.words() < 4) return;
  const MfPoint ref = p.ptYX(0);
  const std::size_t count = p.u(2);
  const unsigned options = p.u(3);
  GdiPlayer::TextOptions opt;
  std::size_t at = 4;
  // The rectangle is there when the options ask for it; some writers leave it out anyway.
  if (options & 0x6) {
    const std::size_t rest = p.words() - 4;
    if (rest >= 4 + (count + 1) / 2) {
      opt.opaque = (options & 0x2) != 0;
      opt.clipped = (options & 0x4) != 0;
      for (int i = 0; i < 4; ++i) opt.rect[i] = p.s(4 + static_cast<std::size_t>(i));
      at += 4;
    }
  }
  const std::size_t strWords = (count + 1) / 2;
  if (at + strWords > p.words()) return;
  const std::uint8_t* text = p.at(at);
  at += strWords;
  std::vector<double> dx;
  if (p.words() - at >= count) {
    dx.reserve(count);
    for (std::size_t i = 0; i < count; ++i) dx.push_back(p.s(at + i));
  }
  if (options & 0x10) {  // glyph indices: only the background can be drawn
    gdi_.textOut(ref, {}, {}, opt);
    return;
  }
  gdi_.textOutAnsi(ref, text, count, dx, opt);
}

void WmfPlayer::dibBlit(const Params& p, std::size_t dibWord, bool stretch, bool fromBottom,
                        std::uint32_t rop, double dx, double dy, double dw, double dh, double sx,
                        double sy, double sw, double sh, bool paletteIndices) {
  MetafileDib dib;
  if (dibWord >= p.words()) return;
  if (!readMetafileDib(p.at(dibWord), p.bytes() - 2 * dibWord, nullptr, 0, paletteIndices, limits_,
                       dib))
    return;
  if (!stretch) {
    sw = dw;
    sh = dh;
  }
  // StretchDIBits counts source rows from the bottom of a bottom-up DIB.
  if (fromBottom && dib.bottomUp) sy = dib.image.height() - (sy + sh);
  gdi_.stretchBlt(dib, dx, dy, dw, dh, sx, sy, sw, sh, rop);
}

void WmfPlayer::play(const Record& r) {
  const Params& p = r.params;
  switch (r.function) {
    // --- state
    case 0x0201:
      gdi_.setBkColor(p.u32(0));
      break;
    case 0x0102:
      gdi_.setBkMode(p.u(0));
      break;
    case 0x0103:
      gdi_.setMapMode(p.u(0));
      break;
    case 0x0104:
      gdi_.setRop2(p.u(0));
      break;
    case 0x0106:
      gdi_.setPolyFillMode(p.u(0));
      break;
    case 0x0209:
      gdi_.setTextColor(p.u32(0));
      break;
    case 0x012E:
      gdi_.setTextAlign(p.u(0));
      break;
    case 0x020B:
      gdi_.setWindowOrg(p.ptYX(0));
      break;
    case 0x020C:
      gdi_.setWindowExt(p.ptYX(0));
      break;
    case 0x020D:
      gdi_.setViewportOrg(p.ptYX(0));
      break;
    case 0x020E:
      gdi_.setViewportExt(p.ptYX(0));
      break;
    case 0x020F:
      gdi_.offsetWindowOrg(p.ptYX(0));
      break;
    case 0x0211:
      gdi_.offsetViewportOrg(p.ptYX(0));
      break;
    case 0x0410:
      gdi_.scaleWindowExt(p.s(3), p.s(2), p.s(1), p.s(0));
      break;
    case 0x0412:
      gdi_.scaleViewportExt(p.s(3), p.s(2), p.s(1), p.s(0));
      break;
    case 0x001E:
      gdi_.saveDc();
      break;
    case 0x0127:
      gdi_.restoreDc(p.s(0));
      break;
    // --- clipping
    case 0x0415:
      gdi_.excludeClipRect(p.s(3), p.s(2), p.s(1), p.s(0));
      break;
    case 0x0416:
      gdi_.intersectClipRect(p.s(3), p.s(2), p.s(1), p.s(0));
      break;
    case 0x0220:
      gdi_.offsetClip(p.s(1), p.s(0));
      break;
    case 0x012C:
      gdi_.selectClipObject(p.u(0));
      break;
    // --- objects
    case 0x012D:
      gdi_.selectObject(p.u(0));
      break;
    case 0x01F0:
      gdi_.deleteObject(p.u(0));
      break;
    case 0x02FA:
      createPen(p);
      break;
    case 0x02FC:
      createBrush(p);
      break;
    case 0x02FB:
      createFont(p);
      break;
    case 0x06FF:
      createRegion(p);
      break;
    case 0x0142:
      createDibPatternBrush(p);
      break;
    case 0x01F9:
      createPatternBrush(p);
      break;
    case 0x00F7:  // palette
    case 0x00F8:  // brush of an old format
    case 0x02FD:  // bitmaps
    case 0x06FE:
      gdi_.addObject(std::monostate{});
      break;
    // --- drawing
    case 0x0214:
      gdi_.moveTo(p.ptYX(0));
      break;
    case 0x0213:
      gdi_.lineTo(p.ptYX(0));
      break;
    case 0x0324:
    case 0x0325: {
      const std::size_t n = p.u(0);
      if (n > (p.words() - std::min<std::size_t>(p.words(), 1)) / 2) break;
      const auto pts = points(p, 1, n);
      if (r.function == 0x0324)
        gdi_.polygon(pts);
      else
        gdi_.polyline(pts);
      break;
    }
    case 0x0538:
      polyPolygon(p);
      break;
    case 0x041B:
      gdi_.rectangle(p.s(3), p.s(2), p.s(1), p.s(0));
      break;
    case 0x061C:
      gdi_.roundRect(p.s(5), p.s(4), p.s(3), p.s(2), p.s(1), p.s(0));
      break;
    case 0x0418:
      gdi_.ellipse(p.s(3), p.s(2), p.s(1), p.s(0));
      break;
    case 0x0817:
    case 0x081A:
    case 0x0830: {
      const auto kind = r.function == 0x0817   ? GdiPlayer::ArcKind::akArc
                        : r.function == 0x081A ? GdiPlayer::ArcKind::akPie
                                               : GdiPlayer::ArcKind::akChord;
      gdi_.arc(p.s(7), p.s(6), p.s(5), p.s(4), p.ptYX(2), p.ptYX(0), kind);
      break;
    }
    case 0x041F:
      gdi_.setPixel(p.ptYX(2), p.u32(0));
      break;
    case 0x061D: {
      const BlitOp op = reduceRop3(p.u32(0));
      gdi_.patBlt(p.s(5), p.s(4), p.s(3), p.s(2), op.usesSource ? kRopCopy : op.rop);
      break;
    }
    case 0x0228:
      gdi_.fillRegion(p.u(0), p.u(1));
      break;
    case 0x012B:
      gdi_.fillRegion(p.u(0), -1);
      break;
    case 0x012A:
      gdi_.invertRegion(p.u(0));
      break;
    case 0x0521:
      textOut(p);
      break;
    case 0x0A32:
      extTextOut(p);
      break;
    // --- bitmaps
    case 0x0F43:  // StretchDIBits: rop, usage, source h w y x, destination h w y x, DIB
      if (p.words() >= 11)
        dibBlit(p, 11, true, true, p.u32(0), p.s(10), p.s(9), p.s(8), p.s(7), p.s(6), p.s(5),
                p.s(4), p.s(3), p.u(2) == 1);
      break;
    case 0x0B41:  // DIBStretchBlt: rop, source h w y x, destination h w y x, DIB
      if (p.words() == 11) {
        gdi_.stretchBlt({}, p.s(10), p.s(9), p.s(8), p.s(7), 0, 0, 0, 0, p.u32(0));
      } else if (p.words() > 10) {
        dibBlit(p, 10, true, false, p.u32(0), p.s(9), p.s(8), p.s(7), p.s(6), p.s(5), p.s(4),
                p.s(3), p.s(2), false);
      }
      break;
    case 0x0940:  // DIBBitBlt: rop, source y x, destination h w y x, DIB
      if (p.words() == 9) {
        gdi_.stretchBlt({}, p.s(8), p.s(7), p.s(6), p.s(5), 0, 0, 0, 0, p.u32(0));
      } else if (p.words() > 8) {
        dibBlit(p, 8, false, false, p.u32(0), p.s(7), p.s(6), p.s(5), p.s(4), p.s(3), p.s(2), 0, 0,
                false);
      }
      break;
    case 0x0D33:  // SetDIBitsToDevice: usage, scans, start scan, source y x, h w, destination y x
      if (p.words() > 9)
        dibBlit(p, 9, false, true, 0xCC0020, p.s(8), p.s(7), p.s(6), p.s(5), p.s(4), p.s(3), 0, 0,
                p.u(0) == 1);
      break;
    case 0x0922:    // BitBlt with a device bitmap: rop, source y x, destination h w y x, bitmap
    case 0x0B23: {  // StretchBlt: rop, source h w y x, destination h w y x, bitmap
      const bool stretch = r.function == 0x0B23;
      const std::size_t head = stretch ? 10 : 8;
      if (p.words() < head + 5) break;
      MetafileDib dib;
      if (!readMetafileBitmap16(p.at(head), p.at(head + 5), p.bytes() - 2 * (head + 5), limits_,
                                dib))
        break;
      if (stretch)
        gdi_.stretchBlt(dib, p.s(9), p.s(8), p.s(7), p.s(6), p.s(5), p.s(4), p.s(3), p.s(2),
                        p.u32(0));
      else
        gdi_.stretchBlt(dib, p.s(7), p.s(6), p.s(5), p.s(4), p.s(3), p.s(2), p.s(5), p.s(4),
                        p.u32(0));
      break;
    }
    default:
      break;
  }
}

}  // namespace

CodecResult checkMetafileSize(double width, double height, const DecodeLimits& limits,
                              MetafileLayout& layout) {
  if (!std::isfinite(width) || !std::isfinite(height))
    return CodecResult::fail(CodecError::ceDamaged, "bad size");
  const double w = std::nearbyint(std::fabs(width));
  const double h = std::nearbyint(std::fabs(height));
  if (w < 1 || h < 1) return CodecResult::fail(CodecError::ceDamaged, "empty picture");
  if (w > kMaxMetafileSide || h > kMaxMetafileSide)
    return CodecResult::fail(CodecError::ceTooLarge, "picture too large");
  CodecResult r =
      checkDimensions(static_cast<std::uint64_t>(w), static_cast<std::uint64_t>(h), limits);
  if (!r.ok()) return r;
  layout.width = static_cast<int>(w);
  layout.height = static_cast<int>(h);
  return CodecResult::success();
}

CodecResult measureWmf(const ByteReader& in, MetafileLayout& layout, const DecodeLimits& limits) {
  const std::uint8_t* data = in.data() + in.position();
  const std::size_t size = in.remaining();
  WmfHeader h;
  CodecResult r = readHeader(data, size, h);
  if (!r.ok()) return r;
  MetafileLayout out;
  if (h.placeable) {
    const double scale = 96.0 / h.unitsPerInch;
    r = checkMetafileSize((h.right - h.left) * scale, (h.bottom - h.top) * scale, limits, out);
    if (!r.ok()) return r;
    out.windowOrg = {double(h.left), double(h.top)};
    out.windowExt = {double(h.right - h.left), double(h.bottom - h.top)};
    out.viewportExt = {double(out.width), double(out.height)};
    layout = out;
    return CodecResult::success();
  }

  // Plain file: the window in effect when drawing starts.
  MfPoint org{0, 0};
  MfPoint ext{0, 0};
  bool haveExt = false;
  bool drawn = false;
  walkRecords(data, size, h.recordsStart, [&](const Record& rec) {
    if (rec.function == 0x020B && !drawn) org = rec.params.ptYX(0);
    if (rec.function == 0x020C && (!drawn || !haveExt)) {
      const MfPoint e = rec.params.ptYX(0);
      if (e.x != 0 && e.y != 0) {
        ext = e;
        haveExt = true;
      }
    }
    if (drawsSomething(rec.function)) drawn = true;
    return !(drawn && haveExt);
  });
  if (haveExt) {
    r = checkMetafileSize(ext.x, ext.y, limits, out);
    if (!r.ok()) return r;
    out.windowOrg = org;
    out.windowExt = ext;
    out.viewportExt = {double(out.width), double(out.height)};
    layout = out;
    return CodecResult::success();
  }

  // No extent at all: one unit per pixel around what the file draws.
  MetafileRecorder recorder;
  MetafileLayout probe;
  probe.width = probe.height = 1;
  r = playWmf(in, probe, recorder, limits);
  if (!r.ok()) return r;
  if (!recorder.hasBounds()) return CodecResult::fail(CodecError::ceDamaged, "nothing drawn");
  const double x0 = std::floor(recorder.minX());
  const double y0 = std::floor(recorder.minY());
  r = checkMetafileSize(std::ceil(recorder.maxX()) - x0 + 1, std::ceil(recorder.maxY()) - y0 + 1,
                        limits, out);
  if (!r.ok()) return r;
  out.windowOrg = {0, 0};
  out.windowExt = {1, 1};
  out.viewportOrg = {-x0, -y0};
  out.viewportExt = {1, 1};
  layout = out;
  return CodecResult::success();
}

CodecResult playWmf(const ByteReader& in, const MetafileLayout& layout, MetafileCanvas& canvas,
                    const DecodeLimits& limits) {
  const std::uint8_t* data = in.data() + in.position();
  const std::size_t size = in.remaining();
  WmfHeader h;
  CodecResult r = readHeader(data, size, h);
  if (!r.ok()) return r;
  GdiPlayer gdi(canvas, {0, 0, layout.width, layout.height});
  gdi.setObjectTableSize(h.objects);
  gdi.setMapMode(kMmAnisotropic);
  gdi.lockViewport(layout.viewportOrg, layout.viewportExt);
  gdi.setWindowOrg(layout.windowOrg);
  gdi.setWindowExt(layout.windowExt);
  WmfPlayer player(gdi, limits);
  walkRecords(data, size, h.recordsStart, [&](const Record& rec) {
    player.play(rec);
    return true;
  });
  return CodecResult::success();
}

}  // namespace vorlino
