#include "imagefile/deflate/deflate_pieces.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "parallel/parallel.h"

namespace vorlino {
namespace {

constexpr int kMaxCodeBits = 15;
constexpr int kLitLenSymbols = 288;
constexpr int kDistSymbols = 32;
constexpr int kEndOfBlock = 256;

// Extra bits of the length symbols 257..285 and of the distance symbols 0..29.
constexpr std::array<std::uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint8_t, 30> kDistExtra = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                     4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                     9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Least-significant-bit-first reader over a 64-bit buffer refilled eight bytes at a time. Past the
// end it feeds zero bits, counted, so that position() can tell an overrun; it gives up (failed())
// once well past the end, which ends any loop over damaged data.
class BitReader {
 public:
  BitReader(const std::uint8_t* data, std::size_t size)
      : begin_(data), next_(data), end_(data + size) {}

  // Makes at least 56 bits available.
  void refill() {
    if (end_ - next_ >= 8) {
      std::uint64_t word;
      std::memcpy(&word, next_, 8);  // little-endian host (x86-64, AArch64)
      buf_ |= word << count_;
      next_ += (63 - count_) >> 3;
      count_ |= 56;
      return;
    }
    while (count_ < 56) {
      if (next_ < end_) {
        buf_ |= static_cast<std::uint64_t>(*next_++) << count_;
      } else {
        padding_ += 8;
        if (padding_ > 128) failed_ = true;
      }
      count_ += 8;
    }
  }
  std::uint64_t bits() const { return buf_; }
  void consume(int n) {
    buf_ >>= n;
    count_ -= n;
  }
  std::uint32_t take(int n) {
    if (count_ < n) refill();
    const auto v = static_cast<std::uint32_t>(buf_ & ((std::uint64_t{1} << n) - 1));
    consume(n);
    return v;
  }
  int available() const { return count_; }
  void alignToByte() { consume(count_ & 7); }
  // Skips n whole bytes; the reader must be at a byte boundary.
  void skipBytes(std::size_t n) {
    const std::size_t buffered = static_cast<std::size_t>(count_) / 8;
    if (n <= buffered) {
      consume(static_cast<int>(8 * n));
      return;
    }
    n -= buffered;
    buf_ = 0;
    count_ = 0;
    const auto left = static_cast<std::size_t>(end_ - next_);
    if (n > left) {
      padding_ += 8 * (n - left);
      failed_ = true;
      next_ = end_;
    } else {
      next_ += n;
    }
  }
  std::size_t position() const {
    return 8 * static_cast<std::size_t>(next_ - begin_) + padding_ -
           static_cast<std::size_t>(count_);
  }
  bool overrun() const {
    return failed_ || position() > 8 * static_cast<std::size_t>(end_ - begin_);
  }
  bool failed() const { return failed_; }

 private:
  const std::uint8_t* begin_;
  const std::uint8_t* next_;
  const std::uint8_t* end_;
  std::uint64_t buf_ = 0;
  int count_ = 0;
  std::size_t padding_ = 0;
  bool failed_ = false;
};

// A canonical Huffman code. Code words up to kTableBits long are found in one lookup (entries hold
// symbol << 4 | length, length 0 for the rest); the longer, rare ones are decoded bit by bit. A
// small table stays in the first-level cache, which matters more than the odd slow symbol.
class HuffmanTable {
 public:
  static constexpr int kTableBits = 10;

  // False when the lengths over-subscribe the code.
  bool build(const std::uint8_t* lengths, int count) {
    perLength_.fill(0);
    for (int s = 0; s < count; ++s) ++perLength_[lengths[s]];
    perLength_[0] = 0;
    int left = 1;
    for (int len = 1; len <= kMaxCodeBits; ++len) {
      left = 2 * left - perLength_[len];
      if (left < 0) return false;
    }
    std::array<int, kMaxCodeBits + 2> offset{};
    for (int len = 1; len <= kMaxCodeBits; ++len) offset[len + 1] = offset[len] + perLength_[len];
    std::array<std::uint32_t, kMaxCodeBits + 1> next{};
    std::uint32_t code = 0;
    for (int len = 1; len <= kMaxCodeBits; ++len) {
      code = (code + static_cast<std::uint32_t>(perLength_[len - 1])) << 1;
      next[len] = code;
    }
    table_.fill(0);
    for (int s = 0; s < count; ++s) {
      const int len = lengths[s];
      if (!len) continue;
      sorted_[static_cast<std::size_t>(offset[len]++)] = static_cast<std::uint16_t>(s);
      if (len > kTableBits) continue;
      const std::uint32_t c = next[len]++;
      std::uint32_t reversed = 0;
      for (int i = 0; i < len; ++i) reversed |= ((c >> i) & 1u) << (len - 1 - i);
      const auto entry = static_cast<std::uint16_t>(s << 4 | len);
      for (std::size_t at = reversed; at < table_.size(); at += std::size_t{1} << len)
        table_[at] = entry;
    }
    return true;
  }

  // The next symbol, or -1 when the bits start no code word.
  int decode(BitReader& in) const {
    if (in.available() < kMaxCodeBits) in.refill();
    const std::uint16_t e = table_[in.bits() & ((1u << kTableBits) - 1)];
    if (e & 15) {
      in.consume(e & 15);
      return e >> 4;
    }
    return decodeLong(in);
  }

 private:
  // Canonical decoding, one bit at a time (code words come most significant bit first).
  int decodeLong(BitReader& in) const {
    const std::uint64_t bits = in.bits();
    int code = 0;
    int first = 0;
    int index = 0;
    for (int len = 1; len <= kMaxCodeBits; ++len) {
      code |= static_cast<int>((bits >> (len - 1)) & 1);
      const int count = perLength_[len];
      if (code - first < count) {
        in.consume(len);
        return sorted_[static_cast<std::size_t>(index + code - first)];
      }
      index += count;
      first = (first + count) << 1;
      code <<= 1;
    }
    return -1;
  }

  std::array<std::uint16_t, std::size_t{1} << kTableBits> table_{};
  std::array<int, kMaxCodeBits + 1> perLength_{};
  std::array<std::uint16_t, kLitLenSymbols> sorted_{};  // symbols by code length, then value
};

struct BlockCodes {
  HuffmanTable litLen;
  HuffmanTable dist;
  HuffmanTable lengths;  // the code of the code lengths of a dynamic block
};

bool buildFixedCodes(BlockCodes& codes) {
  std::array<std::uint8_t, kLitLenSymbols> lit{};
  std::fill(lit.begin(), lit.begin() + 144, 8);
  std::fill(lit.begin() + 144, lit.begin() + 256, 9);
  std::fill(lit.begin() + 256, lit.begin() + 280, 7);
  std::fill(lit.begin() + 280, lit.end(), 8);
  std::array<std::uint8_t, kDistSymbols> dist{};
  dist.fill(5);
  return codes.litLen.build(lit.data(), kLitLenSymbols) &&
         codes.dist.build(dist.data(), kDistSymbols);
}

bool readDynamicCodes(BitReader& in, BlockCodes& codes) {
  static constexpr std::array<std::uint8_t, 19> kOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                          11, 4,  12, 3, 13, 2, 14, 1, 15};
  const int litCount = static_cast<int>(in.take(5)) + 257;
  const int distCount = static_cast<int>(in.take(5)) + 1;
  const int preCount = static_cast<int>(in.take(4)) + 4;
  if (litCount > 286 || distCount > 30) return false;
  std::array<std::uint8_t, 19> pre{};
  for (int i = 0; i < preCount; ++i) pre[kOrder[i]] = static_cast<std::uint8_t>(in.take(3));
  HuffmanTable& preCode = codes.lengths;
  if (!preCode.build(pre.data(), 19)) return false;

  std::array<std::uint8_t, kLitLenSymbols + kDistSymbols> lengths{};
  const int total = litCount + distCount;
  for (int i = 0; i < total;) {
    const int sym = preCode.decode(in);
    if (sym < 0) return false;
    if (sym < 16) {
      lengths[i++] = static_cast<std::uint8_t>(sym);
      continue;
    }
    std::uint8_t value = 0;
    int repeat = 0;
    if (sym == 16) {
      if (i == 0) return false;
      value = lengths[i - 1];
      repeat = 3 + static_cast<int>(in.take(2));
    } else if (sym == 17) {
      repeat = 3 + static_cast<int>(in.take(3));
    } else {
      repeat = 11 + static_cast<int>(in.take(7));
    }
    if (i + repeat > total) return false;
    std::fill_n(lengths.begin() + i, repeat, value);
    i += repeat;
  }
  if (in.overrun() || lengths[kEndOfBlock] == 0) return false;
  return codes.litLen.build(lengths.data(), litCount) &&
         codes.dist.build(lengths.data() + litCount, distCount);
}

// Decodes the symbols of one compressed block up to its end-of-block code.
bool skipCompressedBlock(BitReader& in, const BlockCodes& codes) {
  for (;;) {
    const int sym = codes.litLen.decode(in);
    if (sym < 0 || in.failed()) return false;
    if (sym < kEndOfBlock) continue;
    if (sym == kEndOfBlock) return true;
    if (sym > 285) return false;
    in.take(kLengthExtra[static_cast<std::size_t>(sym - 257)]);
    const int d = codes.dist.decode(in);
    if (d < 0 || d >= 30) return false;
    in.take(kDistExtra[static_cast<std::size_t>(d)]);
  }
}

using Compressor = std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)>;

// The zlib header libdeflate writes for this level, so that a stream of one piece is byte for byte
// what libdeflate_zlib_compress makes.
void zlibHeader(int level, std::uint8_t out[2]) {
  const unsigned hint = level < 2 ? 0 : level < 6 ? 1 : level < 8 ? 2 : 3;
  unsigned header = (0x78u << 8) | (hint << 6);
  header += 31 - header % 31;
  out[0] = static_cast<std::uint8_t>(header >> 8);
  out[1] = static_cast<std::uint8_t>(header);
}

// Compresses one piece into its own buffer; a piece that is not the last is left open for the
// next one. Room is kept for the zlib header before and the trailer after.
bool compressPiece(libdeflate_compressor* compressor, const std::uint8_t* in, std::size_t size,
                   bool first, bool last, ZlibPieces::Piece& piece) {
  const std::size_t lead = first ? 2 : 0;
  const std::size_t bound = libdeflate_deflate_compress_bound(compressor, size);
  piece.bytes = PixelBuffer(lead + bound + 8, PixelBuffer::Fill::kAny);
  std::uint8_t* out = piece.bytes.data() + lead;
  std::size_t n = libdeflate_deflate_compress(compressor, in, size, out, bound);
  if (n == 0) return false;
  if (!last) {
    const auto block = findLastDeflateBlock(out, n);
    if (!block) return false;
    out[block->headerBit >> 3] &= static_cast<std::uint8_t>(~(1u << (block->headerBit & 7)));
    // An empty stored block: three zero header bits, zeros up to the byte boundary, then the
    // length 0 and its complement.
    const std::size_t end = block->endBit;
    if (end & 7) out[end >> 3] &= static_cast<std::uint8_t>((1u << (end & 7)) - 1);
    const std::size_t aligned = (end + 3 + 7) >> 3;
    for (std::size_t i = (end + 7) >> 3; i < aligned; ++i) out[i] = 0;
    const std::uint8_t sync[4] = {0x00, 0x00, 0xFF, 0xFF};
    std::memcpy(out + aligned, sync, 4);
    n = aligned + 4;
  }
  piece.size = lead + n;
  return true;
}

}  // namespace

std::optional<DeflateLastBlock> findLastDeflateBlock(const std::uint8_t* data, std::size_t size) {
  BitReader in(data, size);
  auto codes = std::make_unique<BlockCodes>();
  auto fixed = std::make_unique<BlockCodes>();
  bool fixedBuilt = false;
  for (;;) {
    const std::size_t header = in.position();
    const bool final = in.take(1) != 0;
    const std::uint32_t type = in.take(2);
    if (type == 0) {
      in.alignToByte();
      const std::uint32_t len = in.take(16);
      const std::uint32_t nlen = in.take(16);
      if (in.overrun() || (len ^ nlen) != 0xFFFF) return std::nullopt;
      in.skipBytes(len);
    } else if (type == 1) {
      if (!fixedBuilt && !buildFixedCodes(*fixed)) return std::nullopt;
      fixedBuilt = true;
      if (!skipCompressedBlock(in, *fixed)) return std::nullopt;
    } else if (type == 2) {
      if (!readDynamicCodes(in, *codes) || !skipCompressedBlock(in, *codes)) return std::nullopt;
    } else {
      return std::nullopt;
    }
    if (in.overrun()) return std::nullopt;
    if (final) return DeflateLastBlock{header, in.position()};
  }
}

std::size_t ZlibPieces::size() const {
  std::size_t total = 0;
  for (const Piece& p : pieces) total += p.size;
  return total;
}

bool zlibCompressPieces(const std::uint8_t* data, std::size_t size, int level, ZlibPieces& out) {
  const std::size_t count =
      std::max<std::size_t>(1, (size + kDeflatePieceBytes - 1) / kDeflatePieceBytes);
  out.pieces.clear();
  out.pieces.resize(count);
  std::vector<uLong> checks(count);
  std::vector<char> done(count, 0);
  parallelRows(static_cast<int>(count), kMinParallelWork, [&](int begin, int end) {
    Compressor compressor(libdeflate_alloc_compressor(level), &libdeflate_free_compressor);
    if (!compressor) return;
    for (int i = begin; i < end; ++i) {
      const auto k = static_cast<std::size_t>(i);
      const std::size_t at = k * kDeflatePieceBytes;
      const std::size_t n = std::min(kDeflatePieceBytes, size - at);
      checks[k] = libdeflate_adler32(1, data + at, n);
      done[k] =
          compressPiece(compressor.get(), data + at, n, k == 0, k + 1 == count, out.pieces[k]);
    }
  });
  if (std::find(done.begin(), done.end(), 0) != done.end()) return false;

  zlibHeader(level, out.pieces.front().bytes.data());
  uLong adler = checks[0];
  for (std::size_t k = 1; k < count; ++k) {
    const std::size_t n = std::min(kDeflatePieceBytes, size - k * kDeflatePieceBytes);
    adler = adler32_combine(adler, checks[k], static_cast<z_off_t>(n));
  }
  ZlibPieces::Piece& last = out.pieces.back();
  std::uint8_t* tail = last.bytes.data() + last.size;
  for (int i = 0; i < 4; ++i) tail[i] = static_cast<std::uint8_t>(adler >> (24 - 8 * i));
  last.size += 4;
  return true;
}

ZlibPieceStream::ZlibPieceStream(std::size_t totalSize, int level, Emit emit, void* context)
    : total_(totalSize), level_(level), emit_(emit), context_(context) {}

ZlibPieceStream::~ZlibPieceStream() {
  if (compressor_) libdeflate_free_compressor(static_cast<libdeflate_compressor*>(compressor_));
}

bool ZlibPieceStream::compressHeldPiece() {
  if (!compressor_) compressor_ = libdeflate_alloc_compressor(level_);
  if (!compressor_) return false;
  const bool first = piece_ == 0;
  const bool last = taken_ == total_;
  adler_ = static_cast<std::uint32_t>(libdeflate_adler32(adler_, held_.data(), heldSize_));
  ZlibPieces::Piece piece;
  if (!compressPiece(static_cast<libdeflate_compressor*>(compressor_), held_.data(), heldSize_,
                     first, last, piece))
    return false;
  if (first) zlibHeader(level_, piece.bytes.data());
  if (last) {
    std::uint8_t* tail = piece.bytes.data() + piece.size;
    for (int i = 0; i < 4; ++i) tail[i] = static_cast<std::uint8_t>(adler_ >> (24 - 8 * i));
    piece.size += 4;
  }
  ++piece_;
  heldSize_ = 0;
  return emit_(context_, piece.bytes.data(), piece.size);
}

bool ZlibPieceStream::write(const std::uint8_t* data, std::size_t size) {
  if (size > total_ - taken_) return false;
  // The buffer may be larger than asked (blocks are reused); a piece is kDeflatePieceBytes.
  const std::size_t pieceBytes = std::min(total_, kDeflatePieceBytes);
  if (held_.capacity() < pieceBytes) held_ = PixelBuffer(pieceBytes, PixelBuffer::Fill::kAny);
  while (size > 0) {
    const std::size_t n = std::min(size, pieceBytes - heldSize_);
    std::memcpy(held_.data() + heldSize_, data, n);
    heldSize_ += n;
    taken_ += n;
    data += n;
    size -= n;
    // A full piece is compressed at once unless it is the last, which finish() closes.
    if (heldSize_ == pieceBytes && taken_ < total_ && !compressHeldPiece()) return false;
  }
  return true;
}

bool ZlibPieceStream::finish() {
  if (taken_ != total_) return false;
  return compressHeldPiece();
}

}  // namespace vorlino
