#include "imagefile/deflate/deflate_pieces.h"

#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include <cmath>
#include <random>
#include <string>

#include "test_support.h"

namespace vorlino {
namespace {

using Bytes = std::vector<std::uint8_t>;

enum class Kind { kZeros, kNoise, kGrainyRamp, kText };

// Data of the characters a compressor treats differently: long runs, incompressible noise,
// photograph-like rows (a smooth ramp with grain, Sub-filtered as the PNG writer does) and text.
Bytes sample(std::size_t n, Kind kind, std::uint32_t seed) {
  Bytes b(n);
  std::mt19937 rng(seed);
  switch (kind) {
    case Kind::kZeros:
      break;
    case Kind::kNoise:
      for (auto& v : b) v = static_cast<std::uint8_t>(rng());
      break;
    case Kind::kGrainyRamp: {
      std::normal_distribution<double> grain(0.0, 3.0);
      int previous = 0;
      for (std::size_t i = 0; i < n; ++i) {
        const int value = static_cast<int>(
            128 + 100 * std::sin(static_cast<double>(i % 3001) / 400) + grain(rng));
        b[i] = static_cast<std::uint8_t>(value - previous);
        previous = value;
      }
      break;
    }
    case Kind::kText: {
      static const std::string words[] = {"masque ", "photo ", "couleur ", "opacité ", "cadre\n"};
      for (std::size_t i = 0; i < n;) {
        const std::string& w = words[rng() % 5];
        for (char c : w)
          if (i < n) b[i++] = static_cast<std::uint8_t>(c);
      }
      break;
    }
  }
  return b;
}

Bytes libdeflateRaw(const Bytes& in, int level) {
  libdeflate_compressor* c = libdeflate_alloc_compressor(level);
  Bytes out(libdeflate_deflate_compress_bound(c, in.size()));
  out.resize(libdeflate_deflate_compress(c, in.data(), in.size(), out.data(), out.size()));
  libdeflate_free_compressor(c);
  return out;
}

// A raw deflate stream from zlib with a full flush every flushEvery input bytes; lastFlush gets
// the output size at the last flush, before which the final block cannot start.
Bytes zlibRaw(const Bytes& in, int level, int strategy, std::size_t flushEvery,
              std::size_t& lastFlush) {
  z_stream s{};
  EXPECT_EQ(deflateInit2(&s, level, Z_DEFLATED, -15, 8, strategy), Z_OK);
  Bytes out(deflateBound(&s, in.size()) + 64 * (in.size() / flushEvery + 1));
  s.next_out = out.data();
  s.avail_out = static_cast<uInt>(out.size());
  lastFlush = 0;
  for (std::size_t at = 0; at < in.size(); at += flushEvery) {
    s.next_in = const_cast<Bytef*>(in.data() + at);
    s.avail_in = static_cast<uInt>(std::min(flushEvery, in.size() - at));
    EXPECT_EQ(deflate(&s, Z_FULL_FLUSH), Z_OK);
    lastFlush = out.size() - s.avail_out;
  }
  EXPECT_EQ(deflate(&s, Z_FINISH), Z_STREAM_END);
  out.resize(out.size() - s.avail_out);
  deflateEnd(&s);
  return out;
}

// Inflates with zlib; windowBits -15 for a raw stream, 15 for a zlib one. finished tells whether
// the stream came to its end (a final block, and the Adler-32 for zlib).
Bytes inflateWithZlib(const Bytes& z, int windowBits, std::size_t expected, bool& finished) {
  z_stream s{};
  EXPECT_EQ(inflateInit2(&s, windowBits), Z_OK);
  Bytes out(expected + 1);
  s.next_in = const_cast<Bytef*>(z.data());
  s.avail_in = static_cast<uInt>(z.size());
  s.next_out = out.data();
  s.avail_out = static_cast<uInt>(out.size());
  const int status = inflate(&s, Z_FINISH);
  finished = status == Z_STREAM_END;
  out.resize(out.size() - s.avail_out);
  inflateEnd(&s);
  return out;
}

Bytes joined(const ZlibPieces& z) {
  Bytes all;
  for (const auto& p : z.pieces) all.insert(all.end(), p.bytes.data(), p.bytes.data() + p.size);
  return all;
}

// The walk must name the real final block: clearing that one bit leaves a stream that gives back
// all the data and then asks for more, which a wrong bit would not.
void expectFinalBlockFound(const Bytes& in, const Bytes& stream, std::size_t notBeforeByte,
                           const std::string& what) {
  const auto block = findLastDeflateBlock(stream.data(), stream.size());
  ASSERT_TRUE(block) << what;
  EXPECT_EQ((block->endBit + 7) / 8, stream.size()) << what;
  EXPECT_GE(block->headerBit, 8 * notBeforeByte) << what;
  ASSERT_LT(block->headerBit, block->endBit) << what;
  Bytes open = stream;
  ASSERT_TRUE(open[block->headerBit / 8] & (1u << (block->headerBit % 8))) << what;
  open[block->headerBit / 8] &= static_cast<std::uint8_t>(~(1u << (block->headerBit % 8)));
  bool finished = true;
  EXPECT_EQ(inflateWithZlib(open, -15, in.size(), finished), in) << what;
  EXPECT_FALSE(finished) << what;
}

TEST(DeflateWalkTest, FindsTheFinalBlockOfLibdeflateStreamsAtEveryKindOfLevel) {
  for (Kind kind : {Kind::kZeros, Kind::kNoise, Kind::kGrainyRamp, Kind::kText}) {
    const Bytes in = sample(900'000, kind, 5);
    for (int level : {0, 1, 4, 7, 9, 12}) {
      expectFinalBlockFound(
          in, libdeflateRaw(in, level), 0,
          "kind " + std::to_string(static_cast<int>(kind)) + " level " + std::to_string(level));
    }
  }
}

TEST(DeflateWalkTest, FindsTheFinalBlockAfterStoredFixedAndFlushedBlocks) {
  const Bytes in = sample(300'000, Kind::kGrainyRamp, 9);
  const struct {
    int level, strategy;
    std::size_t flushEvery;
  } cases[] = {
      {0, Z_DEFAULT_STRATEGY, 70'000},  // stored blocks only
      {6, Z_FIXED, 50'000},             // fixed Huffman codes
      {6, Z_HUFFMAN_ONLY, 40'000},      // literals only
      {6, Z_RLE, 100'000},
      {9, Z_DEFAULT_STRATEGY, 7'777},  // many dynamic blocks and empty stored ones
      {1, Z_DEFAULT_STRATEGY, 1'000'000},
  };
  for (const auto& c : cases) {
    std::size_t lastFlush = 0;
    const Bytes stream = zlibRaw(in, c.level, c.strategy, c.flushEvery, lastFlush);
    expectFinalBlockFound(
        in, stream, lastFlush,
        "zlib level " + std::to_string(c.level) + " strategy " + std::to_string(c.strategy));
  }
  // An empty stream: one fixed block holding only its end code.
  std::size_t lastFlush = 0;
  const Bytes empty = zlibRaw(Bytes{}, 6, Z_DEFAULT_STRATEGY, 1, lastFlush);
  const auto block = findLastDeflateBlock(empty.data(), empty.size());
  ASSERT_TRUE(block);
  EXPECT_EQ(block->headerBit, 0u);
}

TEST(DeflateWalkTest, DamagedStreamsAreRejectedWithoutReadingPastTheEnd) {
  const Bytes in = sample(200'000, Kind::kGrainyRamp, 2);
  const Bytes good = libdeflateRaw(in, 7);
  for (std::size_t keep :
       {std::size_t{0}, std::size_t{1}, std::size_t{2}, good.size() / 3, good.size() - 40}) {
    // Exactly sized copies, so that the address sanitizer sees any read beyond them.
    const Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(keep));
    EXPECT_FALSE(findLastDeflateBlock(cut.data(), cut.size())) << "kept " << keep;
  }
  const Bytes reservedType = {0x07};                           // final, block type 3
  const Bytes badComplement = {0x01, 0x05, 0x00, 0xFA, 0xFE};  // stored, NLEN is not ~LEN
  const Bytes storedTooLong = {0x01, 0x05, 0x00, 0xFA, 0xFF, 'a', 'b'};
  const Bytes zeros(64, 0x00);  // stored blocks of length 0 with a wrong complement
  for (const Bytes& bad : {reservedType, badComplement, storedTooLong, zeros})
    EXPECT_FALSE(findLastDeflateBlock(bad.data(), bad.size()));
  const Bytes storedOk = {0x01, 0x02, 0x00, 0xFD, 0xFF, 'o', 'k'};
  const auto block = findLastDeflateBlock(storedOk.data(), storedOk.size());
  ASSERT_TRUE(block);
  EXPECT_EQ(block->endBit, 8 * storedOk.size());

  // Noise and flipped bits: whatever the walk decides, it ends inside the data.
  std::mt19937 rng(77);
  for (int round = 0; round < 300; ++round) {
    Bytes junk = round % 2 ? good : sample(4096, Kind::kNoise, static_cast<std::uint32_t>(round));
    if (round % 2) junk[rng() % junk.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
    if (const auto found = findLastDeflateBlock(junk.data(), junk.size()))
      EXPECT_LE(found->endBit, 8 * junk.size());
  }
}

TEST(ZlibPiecesTest, JoinedPiecesMakeOneZlibStreamOfTheData) {
  const std::size_t piece = kDeflatePieceBytes;
  for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{1000}, piece - 1, piece,
                        piece + 1, 2 * piece + 12'345}) {
    const Bytes in = sample(n, Kind::kGrainyRamp, static_cast<std::uint32_t>(n));
    ZlibPieces z;
    ASSERT_TRUE(zlibCompressPieces(in.data(), in.size(), 7, z)) << n;
    ASSERT_EQ(z.pieces.size(), std::max<std::size_t>(1, (n + piece - 1) / piece)) << n;
    for (std::size_t k = 0; k + 1 < z.pieces.size(); ++k) {  // each left open by a sync block
      const std::uint8_t* end = z.pieces[k].bytes.data() + z.pieces[k].size;
      EXPECT_EQ(Bytes(end - 4, end), (Bytes{0x00, 0x00, 0xFF, 0xFF})) << n;
    }
    bool finished = false;
    EXPECT_EQ(inflateWithZlib(joined(z), 15, n, finished), in) << n;
    EXPECT_TRUE(finished) << "stream end and Adler-32 of " << n << " bytes";
  }
}

TEST(ZlibPiecesTest, BytesDependOnTheDataAloneNotOnTheWorkers) {
  const Bytes in = sample(3 * kDeflatePieceBytes + 4321, Kind::kGrainyRamp, 3);
  Bytes first;
  for (int workers : {1, 2, 3}) {
    const test::Workers count(workers);
    ZlibPieces z;
    ASSERT_TRUE(zlibCompressPieces(in.data(), in.size(), 7, z));
    if (first.empty())
      first = joined(z);
    else
      EXPECT_EQ(joined(z), first) << workers << " workers";
  }
}

TEST(ZlibPiecesTest, OnePieceIsExactlyWhatLibdeflateMakes) {
  const Bytes in = sample(500'000, Kind::kText, 4);
  for (int level : {0, 1, 6, 7, 12}) {
    libdeflate_compressor* c = libdeflate_alloc_compressor(level);
    Bytes whole(libdeflate_zlib_compress_bound(c, in.size()));
    whole.resize(libdeflate_zlib_compress(c, in.data(), in.size(), whole.data(), whole.size()));
    libdeflate_free_compressor(c);
    ZlibPieces z;
    ASSERT_TRUE(zlibCompressPieces(in.data(), in.size(), level, z));
    EXPECT_EQ(joined(z), whole) << "level " << level;
  }
}

}  // namespace
}  // namespace vorlino
