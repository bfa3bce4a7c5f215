// One zlib stream compressed by libdeflate on every core.
//
// libdeflate compresses a whole buffer at once and always closes its output with a final block, so
// it cannot continue a stream. The data is therefore cut into pieces of a fixed size, compressed
// side by side; in every piece but the last the final-block flag is cleared and an empty stored
// block brings the stream back to a byte boundary (what a zlib sync flush writes), so the pieces
// join into one valid deflate stream. The cut depends on the data size only, never on the number
// of threads: the bytes written are the same on any machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "bitmap/bitmap.h"

namespace vorlino {

// Input bytes per piece. Each piece starts with an empty history, which costs a few hundred bytes
// of output per piece on photographs.
inline constexpr std::size_t kDeflatePieceBytes = std::size_t{4} << 20;

// Where the last block of a raw deflate stream lies, in bits from the start of its first byte
// (bits are numbered from the least significant bit of each byte, as deflate reads them).
struct DeflateLastBlock {
  std::size_t headerBit = 0;  // its final-block flag
  std::size_t endBit = 0;     // just past its end-of-block code
};

// Walks the blocks of a raw deflate stream up to the one flagged final, decoding the Huffman codes
// without producing output. nullopt when the stream is damaged or ends before that block.
std::optional<DeflateLastBlock> findLastDeflateBlock(const std::uint8_t* data, std::size_t size);

// A compressed stream held as consecutive spans, one per piece.
struct ZlibPieces {
  struct Piece {
    PixelBuffer bytes;
    std::size_t size = 0;
  };
  std::vector<Piece> pieces;  // the zlib header opens the first, the Adler-32 closes the last

  std::size_t size() const;
};

// Compresses data[0..size) at the given libdeflate level (0 to 12) into one zlib stream. False
// when memory runs short or libdeflate fails.
bool zlibCompressPieces(const std::uint8_t* data, std::size_t size, int level, ZlibPieces& out);

// The same zlib stream for data that arrives in order, a piece at a time: given the total size
// up front, each full piece is compressed as it completes (on the calling thread) and its bytes
// handed on, so that no more than one piece of input is held. The bytes handed on, joined, are
// those of zlibCompressPieces over the whole data.
class ZlibPieceStream {
 public:
  // emit receives consecutive parts of the stream and returns false to stop.
  using Emit = bool (*)(void* context, const std::uint8_t* bytes, std::size_t size);
  ZlibPieceStream(std::size_t totalSize, int level, Emit emit, void* context);
  ~ZlibPieceStream();
  ZlibPieceStream(const ZlibPieceStream&) = delete;
  ZlibPieceStream& operator=(const ZlibPieceStream&) = delete;

  // Appends data; false when compression fails or emit refused. Past totalSize, false.
  bool write(const std::uint8_t* data, std::size_t size);
  // After exactly totalSize bytes: the trailer. False otherwise.
  bool finish();

 private:
  bool compressHeldPiece();

  std::size_t total_;
  std::size_t taken_ = 0;
  int level_;
  Emit emit_;
  void* context_;
  void* compressor_ = nullptr;
  PixelBuffer held_;
  std::size_t heldSize_ = 0;
  std::size_t piece_ = 0;
  std::uint32_t adler_ = 1;
};

}  // namespace vorlino
