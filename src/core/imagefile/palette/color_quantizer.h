// Octree colour quantiser: draws at most M representative colours from an image.
//
// Pixels are added in reading order; each walks from the root down one level per colour bit
// (bit 7 - d of red, green and blue chooses the child of a node at level d: red 4, green 2,
// blue 1), creating missing nodes. Nodes created at the tree depth D are leaves; nodes created
// above it are pushed on their level's reducible stack. After every pixel, while there are more
// than M leaves, the most recently created node of the deepest non-empty stack absorbs its
// children and becomes a leaf. The colours are the leaves in depth-first order (children 0 to 7),
// each the truncated mean of its pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "bitmap/bitmap.h"

namespace vorlino {

// One octree node. Nodes live in the quantiser's pool and refer to their children by pool index
// (0 = no child; index 0 is the root, which is nobody's child). Sums are 64 bits: a 24 MP image
// of white would overflow 32-bit sums.
struct TOctreeNode {
  std::uint64_t pixelCount = 0;
  std::uint64_t redSum = 0;
  std::uint64_t greenSum = 0;
  std::uint64_t blueSum = 0;
  std::uint16_t children[8] = {};
  std::uint8_t level = 0;
  std::uint8_t childCount = 0;
  bool leaf = false;
};

class TColorQuantizer {
 public:
  // maxColors is M, 0 to 256 (0 leaves one leaf that cannot be reduced further), depth is D,
  // 1 to 8; values outside are clamped.
  TColorQuantizer(int maxColors, int depth);

  void addPixel(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
  // Adds every pixel of a 24-bit bitmap, top row first, left to right.
  void addBitmap(const Bitmap& bitmap);

  // The leaf colours in depth-first order, children in index order.
  std::vector<PaletteColor> colors() const;
  int leafCount() const { return leafCount_; }

 private:
  std::uint32_t createChild(std::uint32_t parent, int index);
  std::uint32_t descend(std::uint32_t node, std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                        int toLevel);
  void insert(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
  bool reduceOnce();
  void collect(std::uint32_t node, std::vector<PaletteColor>& out) const;

  int maxColors_;
  int depth_;
  int leafCount_ = 0;
  std::vector<TOctreeNode> nodes_;
  std::vector<std::uint16_t> free_;
  std::vector<std::uint16_t> reducible_[8];

  // Shortcut for the hot path: for each cell of the top 5 bits of the three channels, the node
  // a walk from the root reaches at level min(5, D) (or the leaf it stops at earlier). Creating
  // nodes never changes such a walk; only a reduction above that level (which deletes nodes the
  // cells may name) does, and it bumps the stamp, which invalidates every cell at once. So the
  // shortcut gives the same tree as walking from the root each time.
  static constexpr int kCacheBits = 5;
  int cacheLevel_;
  std::uint32_t stamp_ = 1;
  std::vector<std::uint32_t> cache_;  // (stamp << 16) | node
};

}  // namespace vorlino
