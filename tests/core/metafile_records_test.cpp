// Metafile record walkers, GDI state and DIB reading, followed through the recording canvas.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "imagefile/decoders.h"
#include "imagefile/metafile/dib.h"
#include "imagefile/metafile/gdi_state.h"
#include "imagefile/metafile/records.h"
#include "metafile_builder.h"
#include "test_support.h"

namespace vorlino {
namespace {

using test::EmfBuilder;
using test::makeDib24;
using test::put16;
using test::put32;
using test::WmfBuilder;

struct Played {
  CodecResult measured;
  CodecResult played;
  MetafileLayout layout;
  MetafileRecorder canvas;
};

Played play(const std::vector<std::uint8_t>& bytes, bool emf) {
  Played p;
  ByteReader in(bytes);
  const DecodeLimits limits;
  p.measured = emf ? measureEmf(in, p.layout, limits) : measureWmf(in, p.layout, limits);
  if (p.measured.ok())
    p.played =
        emf ? playEmf(in, p.layout, p.canvas, limits) : playWmf(in, p.layout, p.canvas, limits);
  return p;
}

// A placeable WMF of 96 x 96 pixels (96 units per inch) with a black pen and brush selected.
WmfBuilder wmf96() {
  WmfBuilder b(0, 0, 96, 96, 96);
  b.rec(0x02FA, {0, 1, 0, 0, 0}).rec(0x02FC, {0, 0, 0, 0}).rec(0x012D, {0}).rec(0x012D, {1});
  return b;
}

TEST(MetafileHeaders, SizesFollowTheirUnits) {
  // 1369 units at 1200 per inch: 109.5 pixels, rounded to even.
  Played p = play(WmfBuilder(0, 0, 1369, 1369, 1200).finish(), false);
  ASSERT_TRUE(p.measured.ok()) << p.measured.detail;
  EXPECT_EQ(p.layout.width, 110);
  // Negative origin: only the width of the box counts.
  p = play(WmfBuilder(-30, -30, 3066, 3094, 606).finish(), false);
  EXPECT_EQ(p.layout.width, 490);
  EXPECT_EQ(p.layout.height, 495);
  // EMF frame of 25.40 x 12.70 mm.
  p = play(EmfBuilder(0, 0, 2540, 1270).finish(), true);
  EXPECT_EQ(p.layout.width, 96);
  EXPECT_EQ(p.layout.height, 48);
}

TEST(MetafileHeaders, PlainWmfTakesItsWindowOrItsDrawing) {
  // No placeable header: the window extent, one unit per pixel.
  WmfBuilder withWindow(0, 0, 0, 0, 0);
  withWindow.rec(0x020B, {-20, -10}).rec(0x020C, {60, 200}).rec(0x041B, {30, 30, 0, 0});
  Played p = play(withWindow.finish(), false);
  ASSERT_TRUE(p.measured.ok()) << p.measured.detail;
  EXPECT_EQ(p.layout.width, 200);
  EXPECT_EQ(p.layout.height, 60);
  ASSERT_TRUE(p.canvas.hasBounds());
  EXPECT_EQ(p.canvas.minX(), 10);  // x 0 with the window starting at -10
  EXPECT_EQ(p.canvas.minY(), 20);

  // No window at all: the box around what is drawn.
  WmfBuilder bare(0, 0, 0, 0, 0);
  bare.rec(0x02FA, {0, 1, 0, 0, 0}).rec(0x012D, {0}).rec(0x0325, {2, 50, 40, 149, 99});
  p = play(bare.finish(), false);
  ASSERT_TRUE(p.measured.ok()) << p.measured.detail;
  EXPECT_EQ(p.layout.width, 100);
  EXPECT_EQ(p.layout.height, 60);
  EXPECT_EQ(p.canvas.minX(), 0);
  EXPECT_EQ(p.canvas.maxY(), 59);

  // Nothing drawn and no window: there is no picture.
  EXPECT_FALSE(play(WmfBuilder(0, 0, 0, 0, 0).finish(), false).measured.ok());
}

TEST(MetafileHeaders, DamagedHeadersFail) {
  std::vector<std::uint8_t> wmf = WmfBuilder(0, 0, 96, 96, 96).finish();
  std::vector<std::uint8_t> bad = wmf;
  bad[14] = bad[15] = 0;  // zero units per inch
  EXPECT_EQ(play(bad, false).measured.error, CodecError::ceDamaged);
  bad = wmf;
  bad[10] = bad[6];  // empty box
  bad[11] = bad[7];
  EXPECT_EQ(play(bad, false).measured.error, CodecError::ceDamaged);
  bad = wmf;
  bad[22 + 2] = 7;  // header words
  EXPECT_EQ(play(bad, false).measured.error, CodecError::ceSignature);
  bad.assign(wmf.begin(), wmf.begin() + 30);  // cut inside the header
  EXPECT_FALSE(play(bad, false).measured.ok());

  const std::vector<std::uint8_t> emf = EmfBuilder(0, 0, 2540, 2540).finish();
  bad = emf;
  bad[4] = 0xF0;  // header longer than the file
  bad[5] = 0xE7;
  EXPECT_EQ(play(bad, true).measured.error, CodecError::ceDamaged);
  bad = emf;
  bad[60] = 0x1F;  // description running past the end
  bad[63] = 0x80;
  bad[64] = 88;
  EXPECT_EQ(play(bad, true).measured.error, CodecError::ceDamaged);
  bad = emf;
  bad[32] = bad[24];  // frame of zero width
  bad[33] = bad[25];
  bad[34] = bad[35] = 0;
  EXPECT_EQ(play(bad, true).measured.error, CodecError::ceDamaged);
  bad = emf;
  bad[40] = 'X';
  EXPECT_EQ(play(bad, true).measured.error, CodecError::ceSignature);
}

TEST(MetafileHeaders, HugeFramesAreRefusedBeforeDrawing) {
  Played p = play(EmfBuilder(0, 0, 2540 * 200, 2540).finish(), true);
  EXPECT_EQ(p.measured.error, CodecError::ceTooLarge);
  p = play(WmfBuilder(0, 0, 30000, 30000, 1).finish(), false);
  EXPECT_EQ(p.measured.error, CodecError::ceTooLarge);
}

TEST(MetafileRecords, RecordRunningPastTheEndStopsPlaying) {
  // A rectangle, then a record claiming 1000 words in a short file: the rectangle stays.
  WmfBuilder b = wmf96();
  b.rec(0x041B, {20, 20, 10, 10});
  std::vector<std::uint8_t> tail;
  put32(tail, 1000);
  put16(tail, 0x041B);
  for (int i = 0; i < 4; ++i) put16(tail, 5);
  b.raw(tail).rec(0x041B, {40, 40, 30, 30});
  Played p = play(b.finish(false), false);
  ASSERT_TRUE(p.played.ok());
  EXPECT_EQ(p.canvas.fills, 1);

  // A record of size 0 (EMF) ends the walk as well.
  EmfBuilder e(0, 0, 2540, 2540);
  e.rec(43, {10, 10, 20, 20});
  std::vector<std::uint8_t> zero;
  put32(zero, 43);
  put32(zero, 0);
  e.raw(zero).rec(43, {30, 30, 40, 40});
  p = play(e.finish(false), true);
  ASSERT_TRUE(p.played.ok());
  EXPECT_EQ(p.canvas.strokes, 1);
}

TEST(MetafileRecords, CountsBeyondTheRecordSkipIt) {
  // Polygon claiming 5000 points with 2 present; poly-polygon whose counts exceed its points;
  // EMF polyline claiming more points than its size holds; text longer than the record.
  WmfBuilder w = wmf96();
  w.rec(0x0324, {5000, 1, 1, 2, 2})
      .rec(0x0538, {2, 3, 900, 1, 1, 2, 2, 3, 3})
      .rec(0x0521, {200, 0x4141, 10, 10})
      .rec(0x0324, {3, 1, 1, 50, 1, 50, 50});
  Played p = play(w.finish(), false);
  ASSERT_TRUE(p.played.ok());
  EXPECT_EQ(p.canvas.fills, 1);
  EXPECT_EQ(p.canvas.texts, 0);

  EmfBuilder e(0, 0, 2540, 2540);
  e.rec(4, {0, 0, 0, 0, 0x7FFFFFFF, 1, 1, 2, 2})
      .rec(8, {0, 0, 0, 0, 0x40000000, 4, 4})
      .rec(84, {0, 0, 0, 0, 1, 0, 0, 10, 10, 0x7FFFFFFF, 76, 0, 0, 0, 0, 0, 0})
      .rec(4, {0, 0, 0, 0, 2, 1, 1, 20, 20});
  p = play(e.finish(), true);
  ASSERT_TRUE(p.played.ok());
  EXPECT_EQ(p.canvas.strokes, 1);
  EXPECT_EQ(p.canvas.texts, 0);
}

TEST(MetafileRecords, ObjectTableTakesTheLowestFreeSlot) {
  // Objects 0 (pen) and 1 (brush red) exist; deleting 0 and creating a blue brush puts it in
  // slot 0, so selecting 0 gives blue.
  WmfBuilder w(0, 0, 96, 96, 96);
  w.rec(0x02FA, {0, 1, 0, 0, 0})
      .rec(0x02FC, {0, 0x00FF, 0, 0})
      .rec(0x01F0, {0})
      .rec(0x02FC, {0, 0x0000, 0x00FF, 0})
      .rec(0x012D, {0})
      .rec(0x041B, {20, 20, 10, 10})
      .rec(0x012D, {1})
      .rec(0x012D, {77})  // nothing there: ignored
      .rec(0x041B, {20, 20, 10, 10});
  struct Colours : MetafileRecorder {
    std::vector<Color> fillColours;
    void fillPath(const MfPath& path, const MfBrush& b, const MfDrawState& s) override {
      fillColours.push_back(b.color);
      MetafileRecorder::fillPath(path, b, s);
    }
  } canvas;
  const std::vector<std::uint8_t> bytes = w.finish();
  ByteReader in(bytes);
  MetafileLayout layout;
  ASSERT_TRUE(measureWmf(in, layout, DecodeLimits{}).ok());
  ASSERT_TRUE(playWmf(in, layout, canvas, DecodeLimits{}).ok());
  ASSERT_EQ(canvas.fillColours.size(), 2u);
  EXPECT_EQ(canvas.fillColours[0], 0xFF0000u);
  EXPECT_EQ(canvas.fillColours[1], 0x0000FFu);
}

TEST(MetafileRecords, DeepSaveStacksStayBounded) {
  WmfBuilder w = wmf96();
  for (int i = 0; i < 5000; ++i) w.rec(0x001E, {});
  w.rec(0x0127, {-30000}).rec(0x0127, {30000}).rec(0x0127, {0}).rec(0x0127, {-1});
  w.rec(0x041B, {20, 20, 10, 10});
  Played p = play(w.finish(), false);
  ASSERT_TRUE(p.played.ok());
  EXPECT_EQ(p.canvas.fills, 1);
}

TEST(MetafileRecords, PolyDrawFollowsItsPointTypes) {
  // Move, line, line closing the figure: inside a path bracket one closed figure gets filled;
  // outside, the closing is a third line.
  std::vector<std::uint8_t> pd;
  for (int i = 0; i < 4; ++i) put32(pd, 0);
  put32(pd, 3);
  for (int v : {10, 10, 50, 10, 50, 50}) put16(pd, static_cast<unsigned>(v));
  for (std::uint8_t t : {6, 2, 3}) pd.push_back(t);
  EmfBuilder e(0, 0, 2540, 2540);
  e.rec(59, {}).recBytes(92, pd).rec(60, {}).rec(62, {0, 0, 0, 0}).recBytes(92, pd);
  struct Shapes : MetafileRecorder {
    std::vector<MfPath> filled;
    void fillPath(const MfPath& path, const MfBrush& b, const MfDrawState& s) override {
      filled.push_back(path);
      MetafileRecorder::fillPath(path, b, s);
    }
  } canvas;
  const std::vector<std::uint8_t> bytes = e.finish();
  ByteReader in(bytes);
  MetafileLayout layout;
  ASSERT_TRUE(measureEmf(in, layout, DecodeLimits{}).ok());
  ASSERT_TRUE(playEmf(in, layout, canvas, DecodeLimits{}).ok());
  ASSERT_EQ(canvas.filled.size(), 1u);
  const std::vector<MfVerb> figure = {MfVerb::mvMove, MfVerb::mvLine, MfVerb::mvLine,
                                      MfVerb::mvClose};
  EXPECT_EQ(canvas.filled[0].verbs, figure);
  EXPECT_EQ(canvas.strokes, 3);
}

TEST(MetafileRecords, PaintingStopsWhenItsBudgetIsSpent) {
  MetafileRecorder canvas;
  GdiPlayer gdi(canvas, {0, 0, 100, 100});
  gdi.setWorkBudget(3 * 100 * 100 + 10);
  gdi.selectStockObject(8);  // no pen: one canvas call per rectangle
  for (int i = 0; i < 10; ++i) gdi.rectangle(-50, -50, 500, 500);  // each covers the picture
  EXPECT_EQ(canvas.fills, 3);
  EXPECT_TRUE(gdi.exhausted());
  // Shapes outside the picture cost next to nothing.
  MetafileRecorder outside;
  GdiPlayer far(outside, {0, 0, 100, 100});
  far.setWorkBudget(1000);
  far.selectStockObject(8);
  for (int i = 0; i < 500; ++i) far.rectangle(1000, 1000, 100000, 100000);
  EXPECT_EQ(outside.fills, 500);
}

TEST(MetafileRecords, TextAlignmentAndCurrentPosition) {
  // TA_UPDATECP: the second run starts where the first ended.
  WmfBuilder w = wmf96();
  w.rec(0x012E, {1}).rec(0x0214, {30, 10});
  std::vector<std::uint8_t> t;
  put16(t, 2);
  t.push_back('A');
  t.push_back(0x80);  // euro sign in the Western code page
  put16(t, 0);
  put16(t, 0);
  w.recBytes(0x0521, t).recBytes(0x0521, t);
  Played p = play(w.finish(), false);
  ASSERT_EQ(p.canvas.textRuns.size(), 2u);
  const MfText& first = p.canvas.textRuns[0];
  EXPECT_EQ(first.text, u"A\u20AC");
  EXPECT_EQ(first.origin.x, 10);
  EXPECT_EQ(first.origin.y, 30);
  // The recorder advances half the height per character; the default height is 16.
  EXPECT_EQ(p.canvas.textRuns[1].origin.x, 10 + 16);
}

TEST(MetafileRegion, CutsAndUnions) {
  MfRegion r(MfRect{0, 0, 10, 10});
  r.subtract(MfRegion(MfRect{2, 2, 5, 5}));
  long area = 0;
  for (const MfRect& q : r.rects()) area += long(q.right - q.left) * (q.bottom - q.top);
  EXPECT_EQ(area, 100 - 9);
  r.unite(MfRegion(MfRect{2, 2, 5, 5}));
  area = 0;
  for (const MfRect& q : r.rects()) area += long(q.right - q.left) * (q.bottom - q.top);
  EXPECT_EQ(area, 100);
  r.intersect(MfRegion(MfRect{8, 8, 20, 20}));
  EXPECT_EQ(r.bounds(), (MfRect{8, 8, 10, 10}));
  r.exclusiveOr(MfRegion(MfRect{9, 9, 11, 11}));
  area = 0;
  for (const MfRect& q : r.rects()) area += long(q.right - q.left) * (q.bottom - q.top);
  EXPECT_EQ(area, 4 + 4 - 2);
  // Many cuts collapse to the bounding box instead of growing without end.
  MfRegion big(MfRect{0, 0, 10000, 10000});
  for (int i = 0; i < 3000; ++i) big.subtract(MfRegion(MfRect{3 * i, 3 * i, 3 * i + 1, 3 * i + 1}));
  EXPECT_LE(big.rects().size(), MfRegion::kMaxRects);
}

TEST(MetafileRop, TernaryOperationsReduceToTwoOperands) {
  EXPECT_TRUE(reduceRop3(0x00CC0020).usesSource);  // SRCCOPY
  EXPECT_EQ(reduceRop3(0x00CC0020).rop, kRopCopy);
  EXPECT_EQ(reduceRop3(0x008800C6).rop, 8);   // SRCAND
  EXPECT_EQ(reduceRop3(0x00EE0086).rop, 14);  // SRCPAINT
  EXPECT_EQ(reduceRop3(0x00660046).rop, 6);   // SRCINVERT
  EXPECT_EQ(reduceRop3(0x00330008).rop, 3);   // NOTSRCCOPY
  const BlitOp patcopy = reduceRop3(0x00F00021);
  EXPECT_FALSE(patcopy.usesSource);
  EXPECT_EQ(patcopy.rop, kRopCopy);
  EXPECT_EQ(reduceRop3(0x005A0049).rop, 6);   // PATINVERT
  EXPECT_EQ(reduceRop3(0x00550009).rop, 5);   // DSTINVERT
  EXPECT_EQ(reduceRop3(0x00000042).rop, 0);   // BLACKNESS
  EXPECT_EQ(reduceRop3(0x00FF0062).rop, 15);  // WHITENESS
}

TEST(MetafileDib, ReadsPaletteAndOrientation) {
  // 1 bit, 3 x 2, palette red / blue, bottom-up: bottom row 101, top row 010.
  std::vector<std::uint8_t> dib;
  put32(dib, 40);
  put32(dib, 3);
  put32(dib, 2);
  put16(dib, 1);
  put16(dib, 1);
  for (int i = 0; i < 6; ++i) put32(dib, 0);
  for (std::uint8_t c : {0, 0, 255, 0, 255, 0, 0, 0}) dib.push_back(c);
  for (std::uint8_t c : {0xA0, 0, 0, 0, 0x40, 0, 0, 0}) dib.push_back(c);
  MetafileDib out;
  ASSERT_TRUE(readMetafileDib(dib.data(), dib.size(), nullptr, 0, false, DecodeLimits{}, out));
  EXPECT_EQ(out.image.pixel(0, 0), 0x0000FFu);
  EXPECT_EQ(out.image.pixel(1, 0), 0xFF0000u);
  EXPECT_EQ(out.image.pixel(0, 1), 0xFF0000u);
  EXPECT_EQ(out.image.pixel(1, 1), 0x0000FFu);
  EXPECT_TRUE(out.bottomUp);
  EXPECT_FALSE(out.monochrome);

  // Short pixel data, huge sizes, bad depth, a header larger than given: refused untouched. (The
  // last row may lack its padding, as in a .bmp file, so the cut reaches into its pixels.)
  std::vector<std::uint8_t> cut(dib.begin(), dib.end() - 4);
  EXPECT_FALSE(readMetafileDib(cut.data(), cut.size(), nullptr, 0, false, DecodeLimits{}, out));
  std::vector<std::uint8_t> huge = dib;
  huge[4] = huge[5] = huge[6] = 0xFF;
  huge[7] = 0x7F;
  EXPECT_FALSE(readMetafileDib(huge.data(), huge.size(), nullptr, 0, false, DecodeLimits{}, out));
  std::vector<std::uint8_t> depth = dib;
  depth[14] = 7;
  EXPECT_FALSE(readMetafileDib(depth.data(), depth.size(), nullptr, 0, false, DecodeLimits{}, out));
  std::vector<std::uint8_t> header = dib;
  header[0] = 200;
  EXPECT_FALSE(
      readMetafileDib(header.data(), header.size(), nullptr, 0, false, DecodeLimits{}, out));
  EXPECT_EQ(out.image.width(), 3);

  // 24 bits with the pixels apart from the header.
  const std::vector<std::uint8_t> rgb =
      makeDib24(2, 1, [](int x, int) { return x ? 0x00FF00u : 0xFF0000u; });
  ASSERT_TRUE(readMetafileDib(rgb.data(), 40, rgb.data() + 40, rgb.size() - 40, false,
                              DecodeLimits{}, out));
  EXPECT_EQ(out.image.pixel(0, 0), 0x0000FFu);
  EXPECT_EQ(out.image.pixel(1, 0), 0x00FF00u);
}

// Keeps the bitmap of the last blit.
class BlitKeeper : public MetafileRecorder {
 public:
  void drawBitmap(const Bitmap& image, const MfRect& src, MfPoint p0, MfPoint p1, MfPoint p2,
                  MfRasterOp rop, const MfDrawState& state) override {
    kept.assign(image);
    MetafileRecorder::drawBitmap(image, src, p0, p1, p2, rop, state);
  }
  Bitmap kept;
};

// A 16-bit DIB gives the same pixels in a .bmp file and blitted from a metafile: the 32 levels of
// each five-bit channel scale by bit replication (16 becomes 132) in both.
TEST(MetafileDib, SixteenBitsReadAsInABmpFile) {
  std::vector<std::uint8_t> dib;
  put32(dib, 40);
  put32(dib, 32);
  put32(dib, 1);
  put16(dib, 1);
  put16(dib, 16);
  for (int i = 0; i < 6; ++i) put32(dib, 0);
  for (unsigned level = 0; level < 32; ++level) put16(dib, (level << 10) | (level << 5) | level);

  std::vector<std::uint8_t> file = {'B', 'M'};
  put32(file, static_cast<std::uint32_t>(14 + dib.size()));
  put32(file, 0);
  put32(file, 14 + 40);
  file.insert(file.end(), dib.begin(), dib.end());
  Bitmap fromBmp;
  ByteReader bmpIn(file);
  ASSERT_TRUE(readBmp(bmpIn, fromBmp, DecodeLimits{}).ok());

  // StretchDIBits: rop, usage, source h w y x, destination h w y x, then the DIB.
  std::vector<std::uint8_t> params;
  put32(params, 0xCC0020);
  for (int v : {0, 1, 32, 0, 0, 1, 32, 0, 0}) put16(params, static_cast<unsigned>(v));
  params.insert(params.end(), dib.begin(), dib.end());
  const std::vector<std::uint8_t> wmf = wmf96().recBytes(0x0F43, params).finish();
  ByteReader wmfIn(wmf);
  MetafileLayout layout;
  ASSERT_TRUE(measureWmf(wmfIn, layout, DecodeLimits{}).ok());
  BlitKeeper canvas;
  ASSERT_TRUE(playWmf(wmfIn, layout, canvas, DecodeLimits{}).ok());

  ASSERT_EQ(fromBmp.bitsPerPixel(), 24);
  ASSERT_EQ(canvas.kept.bitsPerPixel(), 24);
  ASSERT_EQ(canvas.kept.width(), 32);
  EXPECT_EQ(0, std::memcmp(fromBmp.row(0), canvas.kept.row(0), 32 * 3));
  EXPECT_EQ(canvas.kept.pixel(16, 0), 0x848484u);
}

// Every sample file plays through without a failure once its header is accepted; the broken
// ones are refused by their header.
TEST(MetafileCorpus, SamplesPlayOrFailByTheirHeader) {
  VORLINO_REQUIRE_CORPUS();
  const std::filesystem::path dir = test::corpusDir();
  for (const char* kind : {"wmf", "emf"}) {
    for (const auto& entry : std::filesystem::directory_iterator(dir / kind)) {
      const std::string name = entry.path().filename().string();
      Played p = play(test::readFileBytes(entry.path()), std::string(kind) == "emf");
      if (test::isBrokenSample(entry.path())) {
        EXPECT_FALSE(p.measured.ok()) << name;
        continue;
      }
      ASSERT_TRUE(p.measured.ok()) << name << ": " << p.measured.detail;
      EXPECT_TRUE(p.played.ok()) << name;
      if (name == "test-030.emf") continue;  // it only selects objects
      EXPECT_GT(p.canvas.fills + p.canvas.strokes + p.canvas.texts + p.canvas.bitmaps, 0) << name;
    }
  }
}

}  // namespace
}  // namespace vorlino
