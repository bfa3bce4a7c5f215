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
#include "imagefile/metafile/wmf_player.h"

#include <cmath>

#include "imagefile/metafile/records.h"

namespace vorlino {

namespace wmf {

void WmfPlayer::play(WmfRecord function, const Params& p) {
  playState(function, p) || playClipping(function, p) || playObject(function, p) ||
      playDrawing(function, p) || playBitmap(function, p);
}

bool WmfPlayer::playState(WmfRecord function, const Params& p) {
  switch (function) {
    case WmfRecord::kSetBkColor:
      gdi_.setBkColor(p.u32(0));
      return true;
    case WmfRecord::kSetBkMode:
      gdi_.setBkMode(p.u(0));
      return true;
    case WmfRecord::kSetMapMode:
      gdi_.setMapMode(p.u(0));
      return true;
    case WmfRecord::kSetRop2:
      gdi_.setRop2(p.u(0));
      return true;
    case WmfRecord::kSetPolyFillMode:
      gdi_.setPolyFillMode(p.u(0));
      return true;
    case WmfRecord::kSetTextColor:
      gdi_.setTextColor(p.u32(0));
      return true;
    case WmfRecord::kSetTextAlign:
      gdi_.setTextAlign(p.u(0));
      return true;
    case WmfRecord::kSetWindowOrg:
      gdi_.setWindowOrg(p.ptYX(0));
      return true;
    case WmfRecord::kSetWindowExt:
      gdi_.setWindowExt(p.ptYX(0));
      return true;
    case WmfRecord::kSetViewportOrg:
      gdi_.setViewportOrg(p.ptYX(0));
      return true;
    case WmfRecord::kSetViewportExt:
      gdi_.setViewportExt(p.ptYX(0));
      return true;
    case WmfRecord::kOffsetWindowOrg:
      gdi_.offsetWindowOrg(p.ptYX(0));
      return true;
    case WmfRecord::kOffsetViewportOrg:
      gdi_.offsetViewportOrg(p.ptYX(0));
      return true;
    case WmfRecord::kScaleWindowExt:
      gdi_.scaleWindowExt(p.s(3), p.s(2), p.s(1), p.s(0));
      return true;
    case WmfRecord::kScaleViewportExt:
      gdi_.scaleViewportExt(p.s(3), p.s(2), p.s(1), p.s(0));
      return true;
    case WmfRecord::kSaveDc:
      gdi_.saveDc();
      return true;
    case WmfRecord::kRestoreDc:
      gdi_.restoreDc(p.s(0));
      return true;
    default:
      return false;
  }
}

bool WmfPlayer::playClipping(WmfRecord function, const Params& p) {
  switch (function) {
    case WmfRecord::kExcludeClipRect:
      gdi_.excludeClipRect(p.s(3), p.s(2), p.s(1), p.s(0));
      return true;
    case WmfRecord::kIntersectClipRect:
      gdi_.intersectClipRect(p.s(3), p.s(2), p.s(1), p.s(0));
      return true;
    case WmfRecord::kOffsetClipRgn:
      gdi_.offsetClip(p.s(1), p.s(0));
      return true;
    case WmfRecord::kSelectClipRegion:
      gdi_.selectClipObject(p.u(0));
      return true;
    default:
      return false;
  }
}

std::vector<MfPoint> WmfPlayer::points(const Params& p, std::size_t first,
                                       std::size_t count) const {
  std::vector<MfPoint> pts;
  pts.reserve(count);
  for (std::size_t i = 0; i < count; ++i) pts.push_back(p.pt(first + 2 * i));
  return pts;
}

}  // namespace wmf

namespace {

using wmf::Params;

constexpr std::size_t kPlaceableSize = 22;
constexpr std::size_t kHeaderSize = 18;

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

// Walks the records from the start; stops at the end record, at the end of the data, or at a
// record whose size does not fit. Visit returns false to stop early.
template <class Visit>
void walkRecords(const std::uint8_t* data, std::size_t size, std::size_t start, Visit&& visit) {
  std::size_t pos = start;
  while (size - pos >= 6) {
    const std::uint32_t words = data[pos] | (data[pos + 1] << 8) | (data[pos + 2] << 16) |
                                (std::uint32_t{data[pos + 3]} << 24);
    const auto function = static_cast<WmfRecord>(data[pos + 4] | (data[pos + 5] << 8));
    if (function == WmfRecord::kEof) return;
    if (words < 3 || words > (size - pos) / 2) return;
    if (!visit(function, Params(data + pos + 6, words - 3))) return;
    pos += std::size_t{words} * 2;
  }
}

// Records that draw something: the window in effect at the first of them sizes a plain file.
bool drawsSomething(WmfRecord f) {
  switch (f) {
    case WmfRecord::kLineTo:
    case WmfRecord::kPolygon:
    case WmfRecord::kPolyline:
    case WmfRecord::kPolyPolygon:
    case WmfRecord::kRectangle:
    case WmfRecord::kRoundRect:
    case WmfRecord::kEllipse:
    case WmfRecord::kArc:
    case WmfRecord::kPie:
    case WmfRecord::kChord:
    case WmfRecord::kTextOut:
    case WmfRecord::kExtTextOut:
    case WmfRecord::kPatBlt:
    case WmfRecord::kBitBlt:
    case WmfRecord::kStretchBlt:
    case WmfRecord::kDibBitBlt:
    case WmfRecord::kDibStretchBlt:
    case WmfRecord::kStretchDib:
    case WmfRecord::kSetDibToDev:
    case WmfRecord::kSetPixel:
    case WmfRecord::kFillRegion:
    case WmfRecord::kPaintRegion:
      return true;
    default:
      return false;
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
  walkRecords(data, size, h.recordsStart, [&](WmfRecord function, const Params& p) {
    if (function == WmfRecord::kSetWindowOrg && !drawn) org = p.ptYX(0);
    if (function == WmfRecord::kSetWindowExt && (!drawn || !haveExt)) {
      const MfPoint e = p.ptYX(0);
      if (e.x != 0 && e.y != 0) {
        ext = e;
        haveExt = true;
      }
    }
    if (drawsSomething(function)) drawn = true;
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
  wmf::WmfPlayer player(gdi, limits);
  walkRecords(data, size, h.recordsStart, [&](WmfRecord function, const Params& p) {
    player.play(function, p);
    return true;
  });
  return CodecResult::success();
}

}  // namespace vorlino
