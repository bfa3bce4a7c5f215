// EMF object records: pens, brushes, fonts and pattern brushes at the table index each record
// names, their selection (stock objects included) and deletion.
#include <cmath>
#include <memory>
#include <variant>

#include "imagefile/metafile/emf_player.h"
#include "imagefile/metafile/log_objects.h"

namespace vorlino::emf {

bool EmfPlayer::playObject(EmfRecord type, const Rec& r) {
  switch (type) {
    case EmfRecord::kSelectObject:
      gdi_.selectObject(r.u32(8));
      return true;
    case EmfRecord::kCreatePen:
      createPen(r);
      return true;
    case EmfRecord::kExtCreatePen:
      extCreatePen(r);
      return true;
    case EmfRecord::kCreateBrushIndirect:
      createBrush(r);
      return true;
    case EmfRecord::kCreateMonoBrush:
      createPatternBrush(r, true);
      return true;
    case EmfRecord::kCreateDibPatternBrushPt:
      createPatternBrush(r, false);
      return true;
    case EmfRecord::kExtCreateFontIndirectW:
      createFont(r);
      return true;
    case EmfRecord::kDeleteObject:
      gdi_.deleteObject(r.u32(8));
      return true;
    case EmfRecord::kSelectPalette:
      return true;  // palettes are not used for drawing
    case EmfRecord::kCreatePalette:
      gdi_.putObject(r.u32(8), std::monostate{});
      return true;
    default:
      return false;
  }
}

void EmfPlayer::createPen(const Rec& r) {
  GdiPen pen;
  const std::uint32_t style = r.u32(12);
  pen.style = penStyleOf(style);
  pen.width = std::abs(static_cast<double>(r.i32(16)));
  pen.cosmetic = pen.width <= 1 && !(style & 0x10000);
  pen.color = r.u32(24) & 0xFFFFFF;
  gdi_.putObject(r.u32(8), pen);
}

void EmfPlayer::extCreatePen(const Rec& r) {
  GdiPen pen;
  const std::uint32_t style = r.u32(28);
  pen.style = penStyleOf(style);
  pen.cosmetic = !(style & 0x10000);
  pen.width = pen.cosmetic ? 0 : static_cast<double>(r.u32(32));
  if (r.u32(36) == 1) pen.style = MfPenStyle::psNull;  // a null brush draws nothing
  pen.color = r.u32(40) & 0xFFFFFF;
  setPenEnds(style, pen);
  gdi_.putObject(r.u32(8), pen);
}

void EmfPlayer::createBrush(const Rec& r) {
  gdi_.putObject(r.u32(8), logBrush(r.u32(12), r.u32(16), r.u32(20)));
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
  // The face name: up to 32 UTF-16 units.
  if (r.has(40, 0))
    f.face = faceNameFromUtf16(r.at(40), std::min<std::size_t>(32, (r.size() - 40) / 2));
  gdi_.putObject(r.u32(8), f);
}

}  // namespace vorlino::emf
