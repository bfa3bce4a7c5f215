// Row machinery shared by the PCX, RLA, SGI, PSD, CEL, CUT and PSP decoders: the byte-oriented
// run-length codes of those formats, planar-to-interleaved copies, index unpacking and palettes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bitmap/bitmap.h"
#include "imagefile/codec.h"

namespace vorlino {

// The run-length packet codes. In each, a count byte introduces either a run (one value repeated)
// or a literal (values copied as they stand).
enum class RunScheme {
  rsPackBits,    // n in 0..127: n+1 literals; n in -127..-1: next value 1-n times; -128: nothing
  rsSignedRuns,  // n >= 0: next value n+1 times; n < 0: -n literals
  rsPcx,         // top two bits set: next value (n & 63) times; otherwise n is the value itself
  rsHalo,        // 0 ends the row; high bit set: next value (n & 127) times; else n literals
  rsSgi,         // 0 ends the row; high bit set: (n & 127) literals; else next value n times
  rsPaintShop,   // n > 128: next value n-128 times; otherwise n literals
};

// Decodes one packet stream into a caller's buffer. A run or literal that goes past the end of one
// read() carries over into the next, so a scheme whose packets cross rows (PCX) is read row by row
// with one decoder; formats that code every row by itself make a decoder per row and so drop what
// spills over. A value is `valueBytes` bytes (2 for 16-bit SGI, whose counts are whole words too:
// the count is the low byte of its word).
class RunDecoder {
 public:
  RunDecoder(ByteReader& in, RunScheme scheme, int valueBytes = 1)
      : in_(in), scheme_(scheme), valueBytes_(valueBytes) {}

  // Fills `count` values at dst. Returns false when the data ends before they are all there
  // (the reader is then truncated()). An end-of-row code leaves the rest of the row at 0.
  bool read(std::uint8_t* dst, std::size_t count);

  // Fewest encoded bytes that can produce `count` decoded bytes; for checking a header's claims
  // against the size of the file before allocating.
  static std::size_t minimumBytes(std::size_t count, RunScheme scheme);

 private:
  bool nextPacket();

  ByteReader& in_;
  RunScheme scheme_;
  int valueBytes_;
  std::size_t left_ = 0;  // values still owed by the current packet
  bool repeat_ = false;
  bool rowEnded_ = false;
  std::uint8_t value_[2] = {};
};

// Copies `count` bytes of one channel plane into every `pixelBytes`-th byte from dst.
void interleavePlane(const std::uint8_t* plane, std::size_t count, std::uint8_t* dst,
                     int pixelBytes);

// Keeps the high byte of `count` big-endian 16-bit samples.
void highBytesBE(const std::uint8_t* src, std::size_t count, std::uint8_t* dst);

// Sets the fourth byte of every pixel of a 32-bit row of `count` pixels to 255.
void setOpaque(std::uint8_t* row, std::size_t count);

// A grey ramp of `entries` colours from black to white (entries >= 2).
std::vector<PaletteColor> greyRamp(int entries);

// Scales a palette of 6-bit VGA components (0..63) to 8 bits; larger values are clamped.
PaletteColor vgaColor(std::uint8_t r, std::uint8_t g, std::uint8_t b);

}  // namespace vorlino
