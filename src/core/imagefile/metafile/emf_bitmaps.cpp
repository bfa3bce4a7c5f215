// EMF bitmap records: BitBlt and StretchBlt (with a DIB or as pattern fills), StretchDIBits and
// SetDIBitsToDevice.
#include "imagefile/metafile/emf_player.h"

namespace vorlino::emf {

bool EmfPlayer::playBitmap(EmfRecord type, const Rec& r) {
  switch (type) {
    case EmfRecord::kBitBlt:
      blit(r, false);
      return true;
    case EmfRecord::kStretchBlt:
      blit(r, true);
      return true;
    case EmfRecord::kSetDiBitsToDevice:
      setDibitsToDevice(r);
      return true;
    case EmfRecord::kStretchDiBits:
      stretchDibits(r);
      return true;
    default:
      return false;
  }
}

bool EmfPlayer::readDib(const Rec& r, std::size_t offBmi, std::size_t cbBmi, std::size_t offBits,
                        std::size_t cbBits, bool paletteIndices, MetafileDib& dib) const {
  if (cbBmi == 0 || !r.has(offBmi, cbBmi) || !r.has(offBits, cbBits)) return false;
  return readMetafileDib(r.at(offBmi), cbBmi, r.at(offBits), cbBits, paletteIndices, limits_, dib);
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

}  // namespace vorlino::emf
