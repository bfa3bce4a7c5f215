// WMF drawing records (lines, shapes, regions, text) and bitmap records (DIB blits and the old
// device-bitmap blits).
#include <algorithm>

#include "imagefile/metafile/dib.h"
#include "imagefile/metafile/wmf_player.h"

namespace vorlino::wmf {

bool WmfPlayer::playDrawing(WmfRecord function, const Params& p) {
  switch (function) {
    case WmfRecord::kMoveTo:
      gdi_.moveTo(p.ptYX(0));
      return true;
    case WmfRecord::kLineTo:
      gdi_.lineTo(p.ptYX(0));
      return true;
    case WmfRecord::kPolygon:
    case WmfRecord::kPolyline: {
      const std::size_t n = p.u(0);
      if (n > (p.words() - std::min<std::size_t>(p.words(), 1)) / 2) return true;
      const auto pts = points(p, 1, n);
      if (function == WmfRecord::kPolygon)
        gdi_.polygon(pts);
      else
        gdi_.polyline(pts);
      return true;
    }
    case WmfRecord::kPolyPolygon:
      polyPolygon(p);
      return true;
    case WmfRecord::kRectangle:
      gdi_.rectangle(p.s(3), p.s(2), p.s(1), p.s(0));
      return true;
    case WmfRecord::kRoundRect:
      gdi_.roundRect(p.s(5), p.s(4), p.s(3), p.s(2), p.s(1), p.s(0));
      return true;
    case WmfRecord::kEllipse:
      gdi_.ellipse(p.s(3), p.s(2), p.s(1), p.s(0));
      return true;
    case WmfRecord::kArc:
    case WmfRecord::kPie:
    case WmfRecord::kChord: {
      const auto kind = function == WmfRecord::kArc   ? GdiPlayer::ArcKind::akArc
                        : function == WmfRecord::kPie ? GdiPlayer::ArcKind::akPie
                                                      : GdiPlayer::ArcKind::akChord;
      gdi_.arc(p.s(7), p.s(6), p.s(5), p.s(4), p.ptYX(2), p.ptYX(0), kind);
      return true;
    }
    case WmfRecord::kSetPixel:
      gdi_.setPixel(p.ptYX(2), p.u32(0));
      return true;
    case WmfRecord::kPatBlt: {
      const BlitOp op = reduceRop3(p.u32(0));
      gdi_.patBlt(p.s(5), p.s(4), p.s(3), p.s(2), op.usesSource ? kRopCopy : op.rop);
      return true;
    }
    case WmfRecord::kFillRegion:
      gdi_.fillRegion(p.u(0), p.u(1));
      return true;
    case WmfRecord::kPaintRegion:
      gdi_.fillRegion(p.u(0), -1);
      return true;
    case WmfRecord::kInvertRegion:
      gdi_.invertRegion(p.u(0));
      return true;
    case WmfRecord::kTextOut:
      textOut(p);
      return true;
    case WmfRecord::kExtTextOut:
      extTextOut(p);
      return true;
    default:
      return false;
  }
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

bool WmfPlayer::playBitmap(WmfRecord function, const Params& p) {
  switch (function) {
    case WmfRecord::kStretchDib:  // rop, usage, source h w y x, destination h w y x, DIB
      if (p.words() >= 11)
        dibBlit(p, 11, true, true, p.u32(0), p.s(10), p.s(9), p.s(8), p.s(7), p.s(6), p.s(5),
                p.s(4), p.s(3), p.u(2) == 1);
      return true;
    case WmfRecord::kDibStretchBlt:  // rop, source h w y x, destination h w y x, DIB
      if (p.words() == 11) {
        gdi_.stretchBlt({}, p.s(10), p.s(9), p.s(8), p.s(7), 0, 0, 0, 0, p.u32(0));
      } else if (p.words() > 10) {
        dibBlit(p, 10, true, false, p.u32(0), p.s(9), p.s(8), p.s(7), p.s(6), p.s(5), p.s(4),
                p.s(3), p.s(2), false);
      }
      return true;
    case WmfRecord::kDibBitBlt:  // rop, source y x, destination h w y x, DIB
      if (p.words() == 9) {
        gdi_.stretchBlt({}, p.s(8), p.s(7), p.s(6), p.s(5), 0, 0, 0, 0, p.u32(0));
      } else if (p.words() > 8) {
        dibBlit(p, 8, false, false, p.u32(0), p.s(7), p.s(6), p.s(5), p.s(4), p.s(3), p.s(2), 0, 0,
                false);
      }
      return true;
    case WmfRecord::kSetDibToDev:  // usage, scans, start scan, source y x, h w, destination y x
      if (p.words() > 9)
        dibBlit(p, 9, false, true, 0xCC0020, p.s(8), p.s(7), p.s(6), p.s(5), p.s(4), p.s(3), 0, 0,
                p.u(0) == 1);
      return true;
    case WmfRecord::kBitBlt:  // rop, source y x, destination h w y x, device bitmap
      deviceBitmapBlit(p, false);
      return true;
    case WmfRecord::kStretchBlt:  // rop, source h w y x, destination h w y x, device bitmap
      deviceBitmapBlit(p, true);
      return true;
    default:
      return false;
  }
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

void WmfPlayer::deviceBitmapBlit(const Params& p, bool stretch) {
  const std::size_t head = stretch ? 10 : 8;
  if (p.words() < head + 5) return;
  MetafileDib dib;
  if (!readMetafileBitmap16(p.at(head), p.at(head + 5), p.bytes() - 2 * (head + 5), limits_, dib))
    return;
  if (stretch)
    gdi_.stretchBlt(dib, p.s(9), p.s(8), p.s(7), p.s(6), p.s(5), p.s(4), p.s(3), p.s(2), p.u32(0));
  else
    gdi_.stretchBlt(dib, p.s(7), p.s(6), p.s(5), p.s(4), p.s(3), p.s(2), p.s(5), p.s(4), p.u32(0));
}

}  // namespace vorlino::wmf
