// Run-length codes of the decoders written in this program: the byte-oriented packet schemes of
// PCX, RLA, SGI, PSD, CEL, CUT and PSP (RunDecoder), the count-prefixed pixel packets of Targa
// files (PixelPacketReader) and the BMP RLE4/RLE8 stream.
#pragma once

#include <cstddef>
#include <cstdint>

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

// Decodes a BMP RLE8 (bits 8) or RLE4 (bits 4) stream into `out`, which is already sized at that
// depth and zero-filled: pixels that the stream skips with deltas or early line ends keep index 0.
// Runs past the right edge are clipped. Decoding ends at the end-of-bitmap code or when the lines
// run out. Fails when the data ends before the picture does.
CodecResult decodeBmpRle(ByteReader& in, int bits, bool bottomUp, Bitmap& out);

// Reads pixel packets: a header byte whose high bit says "repeat the next pixel" and whose low
// seven bits are the pixel count minus one, followed by one pixel (repeat) or that many pixels.
// Packets may cross rows, so the state lives between calls.
class PixelPacketReader {
 public:
  PixelPacketReader(ByteReader& in, int pixelBytes) : in_(in), pixelBytes_(pixelBytes) {}
  // Fills `count` pixels at dst; false when the data ends first.
  bool read(std::uint8_t* dst, std::size_t count);
  // Fewest bytes that can encode `pixels` pixels of pixelBytes each.
  static std::size_t minimumBytes(std::size_t pixels, int pixelBytes);

 private:
  ByteReader& in_;
  int pixelBytes_;
  std::size_t left_ = 0;
  bool repeat_ = false;
  std::uint8_t value_[4] = {};
};

}  // namespace vorlino
