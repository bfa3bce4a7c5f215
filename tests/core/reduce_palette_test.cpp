#include "imagefile/palette/reduce_palette.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "imagefile/palette/color_quantizer.h"
#include "imagefile/palette/fast_color_lookup.h"
#include "imagefile/palette/floyd_steinberg.h"
#include "test_images.h"

namespace vorlino {
namespace {

// ---- a plain reference: pointer octree walked from the root for every pixel, and error
// diffusion over a whole-image error array ----

struct RefNode {
  std::uint64_t count = 0, red = 0, green = 0, blue = 0;
  std::unique_ptr<RefNode> kids[8];
  int level = 0;
  bool leaf = false;
};

class RefOctree {
 public:
  RefOctree(int maxColors, int depth) : max_(maxColors), depth_(depth) {
    root_ = std::make_unique<RefNode>();
    lists_[0].push_back(root_.get());
  }
  void add(int r, int g, int b) {
    RefNode* n = root_.get();
    while (!n->leaf) {
      const int s = 7 - n->level;
      const int i = (((r >> s) & 1) << 2) | (((g >> s) & 1) << 1) | ((b >> s) & 1);
      if (!n->kids[i]) {
        auto c = std::make_unique<RefNode>();
        c->level = n->level + 1;
        if (c->level == depth_) {
          c->leaf = true;
          ++leaves_;
        } else {
          lists_[c->level].push_back(c.get());
        }
        n->kids[i] = std::move(c);
      }
      n = n->kids[i].get();
    }
    ++n->count;
    n->red += r;
    n->green += g;
    n->blue += b;
    while (leaves_ > max_) {
      int l = depth_ - 1;
      while (l >= 0 && lists_[l].empty()) --l;
      if (l < 0) break;
      RefNode* x = lists_[l].back();
      lists_[l].pop_back();
      int k = 0;
      for (auto& kid : x->kids) {
        if (!kid) continue;
        x->count += kid->count;
        x->red += kid->red;
        x->green += kid->green;
        x->blue += kid->blue;
        kid.reset();
        ++k;
      }
      x->leaf = true;
      leaves_ -= k - 1;
    }
  }
  std::vector<PaletteColor> colors() const {
    std::vector<PaletteColor> out;
    collect(root_.get(), out);
    return out;
  }

 private:
  static void collect(const RefNode* n, std::vector<PaletteColor>& out) {
    if (n->leaf) {
      PaletteColor c;
      if (n->count) {
        c.red = static_cast<std::uint8_t>(n->red / n->count);
        c.green = static_cast<std::uint8_t>(n->green / n->count);
        c.blue = static_cast<std::uint8_t>(n->blue / n->count);
      }
      out.push_back(c);
      return;
    }
    for (const auto& kid : n->kids)
      if (kid) collect(kid.get(), out);
  }
  int max_, depth_, leaves_ = 0;
  std::unique_ptr<RefNode> root_;
  std::vector<RefNode*> lists_[8];
};

int refBits(int n) {
  int b = 1;
  while ((1 << b) < n) ++b;
  return n <= 2 ? 1 : n <= 16 ? 4 : b;
}

Bitmap refReduce(const Bitmap& in, int n, int options) {
  const int bits = refBits(n);
  const bool slot = options & 64;
  std::vector<PaletteColor> pal(slot ? n : 1 << bits);
  std::vector<int> usable;
  if (!slot || n > 1) {
    RefOctree tree(slot ? n - 1 : 1 << bits, slot ? bits : 8);
    for (int y = 0; y < in.height(); ++y)
      for (int x = 0; x < in.width(); ++x) {
        const Color c = in.pixel(x, y);
        tree.add(redOf(c), greenOf(c), blueOf(c));
      }
    const auto found = tree.colors();
    for (std::size_t i = 0; i < found.size() && i < pal.size() - (slot ? 1 : 0); ++i) {
      pal[i] = found[i];
      usable.push_back(static_cast<int>(i));
    }
  }
  if (slot) {
    pal[static_cast<std::size_t>(n - 1)] = toPaletteColor(in.TransparentColor);
    usable.push_back(n - 1);
  }
  std::vector<int> cells(32768, -1);
  auto cellOf = [](int r, int g, int b) { return (r >> 3) + (g >> 3) * 32 + (b >> 3) * 1024; };
  for (int i : usable) {
    const auto& p = pal[static_cast<std::size_t>(i)];
    if (cells[cellOf(p.red, p.green, p.blue)] < 0) cells[cellOf(p.red, p.green, p.blue)] = i;
  }
  auto lookup = [&](int r, int g, int b) {
    int& cell = cells[cellOf(r, g, b)];
    if (cell >= 0) return cell;
    int best = -1, bestD = 1 << 30;
    for (int i : usable) {
      const auto& p = pal[static_cast<std::size_t>(i)];
      const int d = std::abs(r - p.red) + std::abs(g - p.green) + std::abs(b - p.blue);
      if (d < bestD) bestD = d, best = i;
    }
    return cell = best;
  };
  const int w = in.width(), h = in.height();
  std::vector<int> idx(static_cast<std::size_t>(w) * h);
  std::vector<int> err(static_cast<std::size_t>(w) * (h + 1) * 3, 0);
  auto at = [&](int x, int y, int ch) -> int& {
    return err[(static_cast<std::size_t>(y) * w + x) * 3 + ch];
  };
  for (int y = 0; y < h; ++y) {
    const bool dither = options & 1;
    const int dir = (!dither || y % 2 == 0) ? 1 : -1;
    for (int i = 0; i < w; ++i) {
      const int x = dir == 1 ? i : w - 1 - i;
      const Color c = in.pixel(x, y);
      int v[3] = {redOf(c), greenOf(c), blueOf(c)};
      if (dither)
        for (int ch = 0; ch < 3; ++ch) v[ch] = std::clamp(v[ch] + (at(x, y, ch) + 8) / 16, 0, 255);
      const int k = lookup(v[0], v[1], v[2]);
      idx[static_cast<std::size_t>(y) * w + x] = k;
      if (!dither) continue;
      const auto& p = pal[static_cast<std::size_t>(k)];
      const int e[3] = {v[0] - p.red, v[1] - p.green, v[2] - p.blue};
      for (int ch = 0; ch < 3; ++ch) {
        if (x + dir >= 0 && x + dir < w) at(x + dir, y, ch) += 7 * e[ch];
        if (x - dir >= 0 && x - dir < w) at(x - dir, y + 1, ch) += 3 * e[ch];
        at(x, y + 1, ch) += 5 * e[ch];
        if (x + dir >= 0 && x + dir < w) at(x + dir, y + 1, ch) += e[ch];
      }
    }
  }
  Bitmap out;
  if (options & 2) {
    out.reset(w, h, bits == 1 ? 1 : bits == 4 ? 4 : 8);
    out.palette() = pal;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        out.setPixel(x, y, static_cast<Color>(idx[static_cast<std::size_t>(y) * w + x]));
  } else {
    out.reset(w, h, 24);
    out.palette() = in.palette();
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        out.setPixel(
            x, y, toColor(pal[static_cast<std::size_t>(idx[static_cast<std::size_t>(y) * w + x])]));
  }
  out.Transparent = in.Transparent;
  out.TransparentColor = in.TransparentColor;
  return out;
}

// Smooth gradients with noise, like the photographs the program handles.
Bitmap photoLike(int w, int h, std::uint32_t seed) {
  Bitmap b(w, h, 24);
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int noise = static_cast<int>(rng() % 17) - 8;
      auto ch = [&](int v) { return static_cast<std::uint8_t>(std::clamp(v + noise, 0, 255)); };
      b.setPixel(x, y, rgb(ch(x * 255 / w), ch(y * 255 / h), ch((x + y) * 255 / (w + h))));
    }
  return b;
}

// Interleaved bits, red first: the depth-first order of octree leaves at full depth.
std::uint32_t octreeOrder(PaletteColor c) {
  std::uint32_t key = 0;
  for (int bit = 7; bit >= 0; --bit)
    key = (key << 3) | (((c.red >> bit) & 1u) << 2) | (((c.green >> bit) & 1u) << 1) |
          ((c.blue >> bit) & 1u);
  return key;
}

TEST(ReduceToPaletteTest, MatchesPlainAlgorithm) {
  std::vector<Bitmap> images;
  images.push_back(photoLike(97, 61, 1));
  images.push_back(test::randomBitmap(53, 47, 2));  // every pixel a new colour: many reductions
  Bitmap few = photoLike(40, 30, 3);                // few colours: entries left unused
  for (int y = 0; y < few.height(); ++y)
    for (int x = 0; x < few.width(); ++x) few.setPixel(x, y, few.pixel(x, y) & 0xC0C0C0);
  images.push_back(few);
  for (auto& image : images) {
    image.Transparent = true;
    image.TransparentColor = kTransparentKey;
  }
  for (std::size_t i = 0; i < images.size(); ++i)
    for (int n : {1, 2, 3, 16, 17, 64, 200, 256})
      for (int options : {0, 1, 2, 3, 64, 65, 66, 67}) {
        SCOPED_TRACE(testing::Message() << "image " << i << " n " << n << " options " << options);
        Bitmap actual = images[i];
        ReduceToPalette(actual, n, options);
        EXPECT_TRUE(actual == refReduce(images[i], n, options));
      }
}

TEST(ReduceToPaletteTest, LargeImageMatchesPlainAlgorithm) {
  // Large enough for the reductions to keep the octree shortcut busy.
  Bitmap image = photoLike(640, 480, 7);
  for (int y = 100; y < 200; ++y)  // a block of unrelated colours in the middle of the gradients
    for (int x = 100; x < 300; ++x)
      image.setPixel(x, y, static_cast<Color>((x * 2654435761u) ^ (y * 40503u)) & 0xFFFFFF);
  for (int options : {3, 65, 66}) {
    Bitmap actual = image;
    ReduceToPalette(actual, 256, options);
    EXPECT_TRUE(actual == refReduce(image, 256, options)) << options;
  }
}

TEST(ReduceToPaletteTest, TwoHundredColoursKeepTheirExactValues) {
  // 200 distinct colours: 198 in cells of their own, (100,100,100) and (101,100,100) sharing one.
  std::vector<Color> colours;
  for (int i = 0; colours.size() < 198; ++i) {
    const Color c =
        rgb(static_cast<std::uint8_t>(8 * (i % 32)), static_cast<std::uint8_t>(8 * (i / 32)),
            static_cast<std::uint8_t>(200 - 8 * (i % 7)));
    colours.push_back(c);
  }
  colours.push_back(rgb(100, 100, 100));
  colours.push_back(rgb(101, 100, 100));
  Bitmap image(20, 11, 24);
  for (int i = 0; i < 220; ++i) {
    const Color c = i < 200 ? colours[static_cast<std::size_t>(i)] : rgb(101, 100, 100);
    image.setPixel(i % 20, i / 20, c);
  }
  image.Transparent = true;
  image.TransparentColor = kTransparentKey;
  Bitmap reduced = image;
  ReduceToPalette(reduced, 256, 66);

  ASSERT_EQ(reduced.bitsPerPixel(), 8);
  ASSERT_EQ(reduced.palette().size(), 256u);
  EXPECT_TRUE(reduced.Transparent);
  EXPECT_EQ(reduced.TransparentColor, kTransparentKey);
  std::vector<PaletteColor> expected;
  for (Color c : colours) expected.push_back(toPaletteColor(c));
  std::sort(expected.begin(), expected.end(),
            [](PaletteColor a, PaletteColor b) { return octreeOrder(a) < octreeOrder(b); });
  const auto& pal = reduced.palette();
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), pal.begin()));
  for (std::size_t i = 200; i < 255; ++i) EXPECT_EQ(pal[i], PaletteColor{}) << i;
  EXPECT_EQ(pal[255], toPaletteColor(kTransparentKey));

  for (int i = 0; i < 199; ++i)
    EXPECT_EQ(reduced.pixel(i % 20, i / 20), image.pixel(i % 20, i / 20)) << i;
  // The shared cell answers with the lower entry, the one of (100, 100, 100).
  const int grey = reduced.pixelIndex(198 % 20, 198 / 20);
  EXPECT_EQ(pal[static_cast<std::size_t>(grey)], toPaletteColor(rgb(100, 100, 100)));
  EXPECT_EQ(pal[static_cast<std::size_t>(grey) + 1], toPaletteColor(rgb(101, 100, 100)));
  for (int i = 199; i < 220; ++i) EXPECT_EQ(reduced.pixelIndex(i % 20, i / 20), grey) << i;
}

TEST(ReduceToPaletteTest, TransparentColourPixelsTakeTheLowerEntryOfTheirCell) {
  // (204, 236, 216) shares the key colour's cell and comes first in octree order.
  const Color neighbour = rgb(204, 236, 216);
  Bitmap image(4, 2, 24);
  for (int x = 0; x < 4; ++x) {
    image.setPixel(x, 0, kTransparentKey);
    image.setPixel(x, 1, x < 2 ? neighbour : rgb(10, 20, 30));
  }
  image.Transparent = true;
  image.TransparentColor = kTransparentKey;
  Bitmap reduced = image;
  ReduceToPalette(reduced, 256, 66);
  const auto& pal = reduced.palette();
  ASSERT_EQ(pal[0], toPaletteColor(rgb(10, 20, 30)));
  ASSERT_EQ(pal[1], toPaletteColor(neighbour));
  ASSERT_EQ(pal[2], toPaletteColor(kTransparentKey));
  for (int x = 0; x < 4; ++x) EXPECT_EQ(reduced.pixelIndex(x, 0), 1);

  // Without a neighbour in the cell, the entry equal to the key colour still wins over slot 255.
  Bitmap alone(3, 1, 24);
  alone.setPixel(0, 0, rgb(10, 20, 30));
  alone.setPixel(1, 0, kTransparentKey);
  alone.setPixel(2, 0, rgb(250, 250, 250));
  alone.TransparentColor = kTransparentKey;
  ReduceToPalette(alone, 256, 66);
  EXPECT_EQ(alone.pixelIndex(1, 0), 1);
  EXPECT_EQ(alone.palette()[1], toPaletteColor(kTransparentKey));
}

TEST(ReduceToPaletteTest, UniformImageIsUnchangedByDithering) {
  const Bitmap image = test::solidBitmap(31, 17, rgb(37, 150, 201));
  Bitmap reduced = image;
  ReduceToPalette(reduced, 256, 65);
  EXPECT_TRUE(reduced == image);
  Bitmap indexed = image;
  ReduceToPalette(indexed, 256, 67);
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 31; ++x) ASSERT_EQ(indexed.pixelIndex(x, y), 0);
}

TEST(ReduceToPaletteTest, ConvertGivesPaletteFormOfTheColourCount) {
  const Bitmap image = photoLike(45, 23, 9);
  Bitmap eight = image;
  ReduceToPalette(eight, 256, 3);
  EXPECT_EQ(eight.bitsPerPixel(), 8);
  EXPECT_EQ(eight.palette().size(), 256u);
  struct Case {
    int colors, options, depth, entries;
  };
  for (Case c : {Case{2, 2, 1, 2}, Case{2, 66, 1, 2}, Case{1, 66, 1, 1}, Case{5, 2, 4, 16},
                 Case{16, 66, 4, 16}, Case{17, 2, 8, 32}, Case{100, 66, 8, 100}}) {
    Bitmap b = image;
    ReduceToPalette(b, c.colors, c.options);
    EXPECT_EQ(b.bitsPerPixel(), c.depth) << c.colors;
    EXPECT_EQ(b.palette().size(), static_cast<std::size_t>(c.entries)) << c.colors;
  }
}

TEST(ReduceToPaletteTest, WithoutConvertPixelsTakePaletteColours) {
  const Bitmap image = photoLike(64, 48, 11);
  for (int options : {1, 65, 0}) {
    Bitmap indexed = image;
    ReduceToPalette(indexed, 256, options | 2);
    std::set<Color> palette;
    for (const auto& p : indexed.palette()) palette.insert(toColor(p));
    Bitmap reduced = image;
    ReduceToPalette(reduced, 256, options);
    ASSERT_EQ(reduced.bitsPerPixel(), 24);
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) {
        ASSERT_EQ(reduced.pixel(x, y), indexed.pixel(x, y));
        ASSERT_TRUE(palette.count(reduced.pixel(x, y)));
      }
  }
}

TEST(ReduceToPaletteTest, OtherDepthsAndInvalidArguments) {
  Bitmap empty;
  ReduceToPalette(empty, 256, 3);
  EXPECT_TRUE(empty.empty());
  const Bitmap image = photoLike(9, 7, 5);
  for (int n : {0, 257, -1}) {
    Bitmap b = image;
    ReduceToPalette(b, n, 3);
    EXPECT_TRUE(b == image);
  }
  // A 32-bit bitmap keeps its depth and alpha; a palette form without convert becomes 24 bits.
  Bitmap wide(9, 7, 32);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x) {
      std::uint8_t* p = wide.row(y) + 4 * x;
      const Color c = image.pixel(x, y);
      p[0] = blueOf(c), p[1] = greenOf(c), p[2] = redOf(c), p[3] = static_cast<std::uint8_t>(x);
    }
  ReduceToPalette(wide, 4, 1);
  Bitmap narrow = image;
  ReduceToPalette(narrow, 4, 1);
  EXPECT_EQ(wide.bitsPerPixel(), 32);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x) {
      EXPECT_EQ(wide.pixel(x, y), narrow.pixel(x, y));
      EXPECT_EQ(wide.row(y)[4 * x + 3], x);
    }
  Bitmap indexed = test::randomBitmap(9, 7, 3, 8);
  Bitmap as24 = indexed;
  as24.convertTo24();
  ReduceToPalette(indexed, 16, 0);
  ReduceToPalette(as24, 16, 0);
  EXPECT_EQ(indexed.bitsPerPixel(), 24);
  EXPECT_TRUE(indexed == as24);
}

TEST(ColorQuantizerTest, HandWorkedReduction) {
  // M = 2, D = 8. Black and white make two full-depth chains. Grey 128 follows white's level-1
  // node and starts a third chain: three leaves. The chains collapse from level 7 up, newest first
  // at each level (single-child merges keep three leaves), until white's level-1 node is popped:
  // it merges white (255) and the grey leaf (128) into one leaf, 383 / 2. The last 128 lands in
  // that leaf: 511 / 3 = 170.
  TColorQuantizer q(2, 8);
  for (int v : {0, 255, 128, 128}) {
    const auto g = static_cast<std::uint8_t>(v);
    q.addPixel(g, g, g);
  }
  ASSERT_EQ(q.leafCount(), 2);
  const std::vector<PaletteColor> expected{{0, 0, 0, 0}, {170, 170, 170, 0}};
  EXPECT_EQ(q.colors(), expected);

  // Through ReduceToPalette: two colours without the slot give a 1-bit image on that palette.
  Bitmap b = test::greyBitmap({{0, 255, 128, 128}});
  ReduceToPalette(b, 2, 2);
  ASSERT_EQ(b.bitsPerPixel(), 1);
  EXPECT_EQ(b.palette(), expected);
  EXPECT_EQ(b.row(0)[0], 0x70);  // indices 0 1 1 1, most significant bit first

  // M = 1, D = 1: the second distinct top-bit half makes two leaves, so the root itself is
  // reduced; every later pixel lands in it. Mean of 10, 200, 40 and 90 per channel, truncated.
  TColorQuantizer root(1, 1);
  root.addPixel(10, 20, 30);
  root.addPixel(200, 20, 30);
  root.addPixel(40, 240, 30);
  root.addPixel(90, 21, 31);
  const std::vector<PaletteColor> mean{{30, 75, 85, 0}};  // blue, green, red
  EXPECT_EQ(root.colors(), mean);
}

TEST(ColorQuantizerTest, LargeUniformImageDoesNotOverflow) {
  // 2^25 white pixels: 32-bit channel sums would wrap.
  TColorQuantizer q(255, 8);
  for (int i = 0; i < (1 << 25); ++i) q.addPixel(255, 255, 255);
  EXPECT_EQ(q.colors(), std::vector<PaletteColor>{toPaletteColor(kWhite)});
}

TEST(FloydSteinbergTest, HandWorkedRows) {
  const std::vector<PaletteColor> blackWhite{toPaletteColor(kBlack), toPaletteColor(kWhite)};
  auto dither = [&](const Bitmap& image) {
    TFastColorLookup lookup(blackWhite, {0, 1});
    TFloydSteinbergDitherer d(image.width(), lookup);
    std::vector<std::vector<int>> out;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(image.width()));
    for (int y = 0; y < image.height(); ++y) {
      d.ditherRow(image.row(y), row.data());
      out.emplace_back(row.begin(), row.end());
    }
    return out;
  };
  // Row 0, left to right: 190 -> white (e -65, passes -455 right, -325 below, -65 below right);
  // 190 - 27 = 163 -> white (e -92); 60 - 39 = 21 -> black (e 21). Below: -601, -462, 13.
  // Row 1, right to left: 100 + 1 = 101 -> black (e 101, passes 707 left); 140 + 15 = 155 ->
  // white (e -100, passes -700); 190 - 80 = 110 -> black. Scanned left to right, row 1 would give
  // white, black, white instead.
  using Rows = std::vector<std::vector<int>>;
  EXPECT_EQ(dither(test::greyBitmap({{190, 190, 60}, {190, 140, 100}})),
            (Rows{{1, 1, 0}, {0, 1, 0}}));
  // 252 -> white with e = -3, passing -21: (-21 + 8) / 16 truncates to 0, so 128 stays 128 and
  // goes white (rounding down would make it 127, black).
  EXPECT_EQ(dither(test::greyBitmap({{252, 128}})), (Rows{{1, 1}}));
}

TEST(FastColorLookupTest, CellKeepsFirstAnswer) {
  const std::vector<PaletteColor> pal{toPaletteColor(rgb(0, 0, 0)), toPaletteColor(rgb(60, 0, 0)),
                                      toPaletteColor(rgb(255, 255, 255)),
                                      toPaletteColor(rgb(16, 0, 0))};
  TFastColorLookup lookup(pal, {0, 1, 3});  // entry 2 is unused and never answered
  EXPECT_EQ(lookup.lookup(250, 250, 250), 1);
  EXPECT_EQ(lookup.lookup(23, 0, 0), 3);  // cell of entry 3's own colour
  EXPECT_EQ(lookup.lookup(7, 0, 0), 0);
  EXPECT_EQ(lookup.lookup(38, 0, 0), 1);  // 22 from entries 1 and 3: the lower index wins
  EXPECT_EQ(lookup.lookup(33, 0, 0), 1);  // same cell: kept though entry 3 is nearer now
}

}  // namespace
}  // namespace vorlino
