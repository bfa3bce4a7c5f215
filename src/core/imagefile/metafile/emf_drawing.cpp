// EMF drawing records: lines, poly shapes in 16 and 32 bits, Bézier curves, PolyDraw, closed
// shapes, arcs, pixels, region fills and text; and the path records.
#include <algorithm>

#include "imagefile/metafile/emf_player.h"

namespace vorlino::emf {

bool EmfPlayer::playDrawing(EmfRecord type, const Rec& r) {
  switch (type) {
    case EmfRecord::kPolyBezier:
    case EmfRecord::kPolygon:
    case EmfRecord::kPolyline:
    case EmfRecord::kPolyBezierTo:
    case EmfRecord::kPolylineTo:
    case EmfRecord::kPolyBezier16:
    case EmfRecord::kPolygon16:
    case EmfRecord::kPolyline16:
    case EmfRecord::kPolyBezierTo16:
    case EmfRecord::kPolylineTo16:
      polyPoints(type, r);
      return true;
    case EmfRecord::kPolyPolyline:
      polyPoly(r, false, false);
      return true;
    case EmfRecord::kPolyPolygon:
      polyPoly(r, false, true);
      return true;
    case EmfRecord::kPolyPolyline16:
      polyPoly(r, true, false);
      return true;
    case EmfRecord::kPolyPolygon16:
      polyPoly(r, true, true);
      return true;
    case EmfRecord::kPolyDraw:
      polyDraw(r, false);
      return true;
    case EmfRecord::kPolyDraw16:
      polyDraw(r, true);
      return true;
    case EmfRecord::kSetPixelV:
      gdi_.setPixel(r.pt(8), r.u32(16));
      return true;
    case EmfRecord::kMoveToEx:
      gdi_.moveTo(r.pt(8));
      return true;
    case EmfRecord::kLineTo:
      gdi_.lineTo(r.pt(8));
      return true;
    case EmfRecord::kEllipse:
      gdi_.ellipse(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
      return true;
    case EmfRecord::kRectangle:
      gdi_.rectangle(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
      return true;
    case EmfRecord::kRoundRect:
      gdi_.roundRect(r.i32(8), r.i32(12), r.i32(16), r.i32(20), r.i32(24), r.i32(28));
      return true;
    case EmfRecord::kArc:
    case EmfRecord::kChord:
    case EmfRecord::kPie:
    case EmfRecord::kArcTo: {
      const auto kind = type == EmfRecord::kArc     ? GdiPlayer::ArcKind::akArc
                        : type == EmfRecord::kChord ? GdiPlayer::ArcKind::akChord
                        : type == EmfRecord::kPie   ? GdiPlayer::ArcKind::akPie
                                                    : GdiPlayer::ArcKind::akArcTo;
      gdi_.arc(r.i32(8), r.i32(12), r.i32(16), r.i32(20), r.pt(24), r.pt(32), kind);
      return true;
    }
    case EmfRecord::kFillRgn:
    case EmfRecord::kInvertRgn:
    case EmfRecord::kPaintRgn:
      region(type, r);
      return true;
    case EmfRecord::kExtTextOutA:
      textOut(r, false);
      return true;
    case EmfRecord::kExtTextOutW:
      textOut(r, true);
      return true;
    default:
      return false;
  }
}

bool EmfPlayer::playPath(EmfRecord type, const Rec&) {
  switch (type) {
    case EmfRecord::kBeginPath:
      gdi_.beginPath();
      return true;
    case EmfRecord::kEndPath:
      gdi_.endPath();
      return true;
    case EmfRecord::kCloseFigure:
      gdi_.closeFigure();
      return true;
    case EmfRecord::kFillPath:
      gdi_.fillPath();
      return true;
    case EmfRecord::kStrokeAndFillPath:
      gdi_.strokeAndFillPath();
      return true;
    case EmfRecord::kStrokePath:
      gdi_.strokePath();
      return true;
    case EmfRecord::kAbortPath:
      gdi_.abortPath();
      return true;
    default:
      return false;
  }
}

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

void EmfPlayer::polyPoints(EmfRecord type, const Rec& r) {
  const bool small = type >= EmfRecord::kPolyBezier16;
  std::vector<MfPoint> pts;
  if (!readPoints(r, 24, small, pts)) return;
  switch (type) {
    case EmfRecord::kPolyBezier:
    case EmfRecord::kPolyBezier16:
      gdi_.polyBezier(pts);
      break;
    case EmfRecord::kPolygon:
    case EmfRecord::kPolygon16:
      gdi_.polygon(pts);
      break;
    case EmfRecord::kPolyline:
    case EmfRecord::kPolyline16:
      gdi_.polyline(pts);
      break;
    case EmfRecord::kPolyBezierTo:
    case EmfRecord::kPolyBezierTo16:
      gdi_.polyBezierTo(pts);
      break;
    default:
      gdi_.polylineTo(pts);
      break;
  }
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

void EmfPlayer::region(EmfRecord type, const Rec& r) {
  // FillRgn (its own brush), InvertRgn, PaintRgn (the current brush)
  MfRegion rgn;
  if (!readRegion(r, type == EmfRecord::kFillRgn ? 32 : 28, r.u32(24), rgn)) return;
  MfBrush brush;
  if (type == EmfRecord::kFillRgn) {
    if (gdi_.brushObject(r.u32(28), brush)) gdi_.fillRegionRects(rgn.rects(), brush, kRopCopy);
  } else if (type == EmfRecord::kInvertRgn) {
    gdi_.fillRegionRects(rgn.rects(), brush, 5);
  } else {
    gdi_.fillRegionRects(rgn.rects(), gdi_.currentBrush(), kRopCopy);
  }
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

}  // namespace vorlino::emf
