// The EMF record player, split over emf_player.cpp (the walk, state and clipping records),
// emf_objects.cpp (object records), emf_drawing.cpp (drawing, path, region and text records) and
// emf_bitmaps.cpp (bitmap records). Not part of the metafile interface (records.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imagefile/codec.h"
#include "imagefile/metafile/dib.h"
#include "imagefile/metafile/gdi_state.h"
#include "imagefile/metafile/record_types.h"
#include "imagefile/metafile/records.h"

namespace vorlino::emf {

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

class EmfPlayer {
 public:
  EmfPlayer(GdiPlayer& gdi, const MetafileLayout& layout, const DecodeLimits& limits)
      : gdi_(gdi), layout_(layout), limits_(limits) {}
  void play(EmfRecord type, const Rec& r);

 private:
  // Each group plays the records it knows and returns false for the others.
  bool playState(EmfRecord type, const Rec& r);
  bool playClipping(EmfRecord type, const Rec& r);
  bool playObject(EmfRecord type, const Rec& r);
  bool playDrawing(EmfRecord type, const Rec& r);
  bool playPath(EmfRecord type, const Rec& r);
  bool playBitmap(EmfRecord type, const Rec& r);

  // Points of a poly record: count at `countAt`, points from `countAt + 4`.
  bool readPoints(const Rec& r, std::size_t countAt, bool small, std::vector<MfPoint>& pts) const;
  void polyPoints(EmfRecord type, const Rec& r);
  void polyPoly(const Rec& r, bool small, bool polygon);
  void polyDraw(const Rec& r, bool small);
  void region(EmfRecord type, const Rec& r);
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

}  // namespace vorlino::emf
