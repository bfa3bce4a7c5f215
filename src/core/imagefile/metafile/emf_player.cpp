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
#include "imagefile/metafile/emf_player.h"

#include <algorithm>
#include <cmath>

namespace vorlino {

namespace emf {

void EmfPlayer::play(EmfRecord type, const Rec& r) {
  playState(type, r) || playClipping(type, r) || playObject(type, r) || playDrawing(type, r) ||
      playPath(type, r) || playBitmap(type, r);
}

bool EmfPlayer::playState(EmfRecord type, const Rec& r) {
  switch (type) {
    case EmfRecord::kSetWindowExtEx:
      gdi_.setWindowExt(r.pt(8));
      return true;
    case EmfRecord::kSetWindowOrgEx:
      gdi_.setWindowOrg(r.pt(8));
      return true;
    case EmfRecord::kSetViewportExtEx:
      gdi_.setViewportExt(r.pt(8));
      return true;
    case EmfRecord::kSetViewportOrgEx:
      gdi_.setViewportOrg(r.pt(8));
      return true;
    case EmfRecord::kScaleViewportExtEx:
      gdi_.scaleViewportExt(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
      return true;
    case EmfRecord::kScaleWindowExtEx:
      gdi_.scaleWindowExt(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
      return true;
    case EmfRecord::kSetMapMode:
      gdi_.setMapMode(r.i32(8));
      return true;
    case EmfRecord::kSetBkMode:
      gdi_.setBkMode(r.i32(8));
      return true;
    case EmfRecord::kSetPolyFillMode:
      gdi_.setPolyFillMode(r.i32(8));
      return true;
    case EmfRecord::kSetRop2:
      gdi_.setRop2(r.i32(8));
      return true;
    case EmfRecord::kSetTextAlign:
      gdi_.setTextAlign(r.u32(8));
      return true;
    case EmfRecord::kSetTextColor:
      gdi_.setTextColor(r.u32(8));
      return true;
    case EmfRecord::kSetBkColor:
      gdi_.setBkColor(r.u32(8));
      return true;
    case EmfRecord::kSetArcDirection:
      gdi_.setArcDirection(r.i32(8));
      return true;
    case EmfRecord::kSetMiterLimit:
      gdi_.setMiterLimit(r.u32(8));
      return true;
    case EmfRecord::kSaveDc:
      gdi_.saveDc();
      return true;
    case EmfRecord::kRestoreDc:
      gdi_.restoreDc(r.i32(8));
      return true;
    case EmfRecord::kSetWorldTransform:
    case EmfRecord::kModifyWorldTransform: {
      const MfAffine m{r.f32(8), r.f32(12), r.f32(16), r.f32(20), r.f32(24), r.f32(28)};
      if (!std::isfinite(m.a) || !std::isfinite(m.b) || !std::isfinite(m.c) ||
          !std::isfinite(m.d) || !std::isfinite(m.e) || !std::isfinite(m.f))
        return true;
      if (type == EmfRecord::kSetWorldTransform)
        gdi_.setWorldTransform(m);
      else
        gdi_.modifyWorldTransform(m, r.i32(32));
      return true;
    }
    default:
      return false;
  }
}

bool EmfPlayer::playClipping(EmfRecord type, const Rec& r) {
  switch (type) {
    case EmfRecord::kOffsetClipRgn:
      gdi_.offsetClip(r.i32(8), r.i32(12));
      return true;
    case EmfRecord::kExcludeClipRect:
      gdi_.excludeClipRect(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
      return true;
    case EmfRecord::kIntersectClipRect:
      gdi_.intersectClipRect(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
      return true;
    case EmfRecord::kExtSelectClipRgn: {
      const std::size_t bytes = r.u32(8);
      const int mode = r.i32(12);
      if (bytes == 0) {
        if (mode == 5) gdi_.combineClip(nullptr, 5);
        return true;
      }
      MfRegion clip;
      if (readRegion(r, 16, bytes, clip)) gdi_.combineClip(&clip, mode);
      return true;
    }
    default:
      return false;
  }
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

}  // namespace emf

namespace {

using emf::Rec;

constexpr std::uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr std::size_t kMinHeader = 88;

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
  if (r.u32(0) != static_cast<std::uint32_t>(EmfRecord::kHeader) || r.u32(40) != kEmfSignature)
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
    const auto type = static_cast<EmfRecord>(head.u32(0));
    const std::uint32_t bytes = head.u32(4);
    if (bytes < 8 || bytes % 4 != 0 || bytes > size - pos) return;
    if (type == EmfRecord::kEof) return;
    if (!visit(type, Rec(data + pos, bytes))) return;
    pos += bytes;
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
  emf::EmfPlayer player(gdi, layout, limits);
  walkRecords(data, h.bytes, [&](EmfRecord type, const Rec& rec) {
    if (type != EmfRecord::kHeader) player.play(type, rec);
    return true;
  });
  return CodecResult::success();
}

}  // namespace vorlino
