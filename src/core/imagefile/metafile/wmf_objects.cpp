// WMF object records: pens, brushes, fonts, regions and pattern brushes, their selection and
// deletion. A new object takes the lowest free slot of the table.
#include <algorithm>
#include <memory>
#include <variant>

#include "imagefile/metafile/dib.h"
#include "imagefile/metafile/log_objects.h"
#include "imagefile/metafile/wmf_player.h"

namespace vorlino::wmf {

bool WmfPlayer::playObject(WmfRecord function, const Params& p) {
  switch (function) {
    case WmfRecord::kSelectObject:
      gdi_.selectObject(p.u(0));
      return true;
    case WmfRecord::kDeleteObject:
      gdi_.deleteObject(p.u(0));
      return true;
    case WmfRecord::kCreatePenIndirect:
      createPen(p);
      return true;
    case WmfRecord::kCreateBrushIndirect:
      createBrush(p);
      return true;
    case WmfRecord::kCreateFontIndirect:
      createFont(p);
      return true;
    case WmfRecord::kCreateRegion:
      createRegion(p);
      return true;
    case WmfRecord::kDibCreatePatternBrush:
      createDibPatternBrush(p);
      return true;
    case WmfRecord::kCreatePatternBrush:
      createPatternBrush(p);
      return true;
    case WmfRecord::kCreatePalette:
    case WmfRecord::kCreateBrush:  // of an old format
    case WmfRecord::kCreateBitmapIndirect:
    case WmfRecord::kCreateBitmap:
      gdi_.addObject(std::monostate{});
      return true;
    default:
      return false;
  }
}

void WmfPlayer::createPen(const Params& p) {
  GdiPen pen;
  const unsigned style = p.u(0);
  pen.style = penStyleOf(style);
  pen.width = p.s(1) < 0 ? -p.s(1) : p.s(1);
  pen.cosmetic = pen.width <= 1;
  pen.color = p.u32(3) & 0xFFFFFF;
  setPenEnds(style, pen);
  gdi_.addObject(pen);
}

void WmfPlayer::createBrush(const Params& p) {
  gdi_.addObject(logBrush(p.u(0), p.u32(1), p.u(3)));
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
    f.face = faceNameFromBytes(b + 8, std::min<std::size_t>(32, p.bytes() - 18));
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

}  // namespace vorlino::wmf
