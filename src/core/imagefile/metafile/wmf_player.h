// The WMF record player, split over wmf_player.cpp (the walk, state and clipping records),
// wmf_objects.cpp (object records) and wmf_drawing.cpp (drawing and bitmap records). Not part of
// the metafile interface (records.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "imagefile/codec.h"
#include "imagefile/metafile/gdi_state.h"
#include "imagefile/metafile/record_types.h"

namespace vorlino::wmf {

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

class WmfPlayer {
 public:
  WmfPlayer(GdiPlayer& gdi, const DecodeLimits& limits) : gdi_(gdi), limits_(limits) {}
  void play(WmfRecord function, const Params& p);

 private:
  // Each group plays the records it knows and returns false for the others.
  bool playState(WmfRecord function, const Params& p);
  bool playClipping(WmfRecord function, const Params& p);
  bool playObject(WmfRecord function, const Params& p);
  bool playDrawing(WmfRecord function, const Params& p);
  bool playBitmap(WmfRecord function, const Params& p);

  std::vector<MfPoint> points(const Params& p, std::size_t first, std::size_t count) const;
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
  void deviceBitmapBlit(const Params& p, bool stretch);

  GdiPlayer& gdi_;
  const DecodeLimits& limits_;
};

}  // namespace vorlino::wmf
