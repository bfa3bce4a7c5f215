#include "imagefile/palette/color_quantizer.h"

#include <algorithm>

namespace vorlino {
namespace {

constexpr std::uint32_t kCacheCells = 1u << 15;

inline int childIndex(std::uint8_t red, std::uint8_t green, std::uint8_t blue, int level) {
  const int shift = 7 - level;
  return (((red >> shift) & 1) << 2) | (((green >> shift) & 1) << 1) | ((blue >> shift) & 1);
}

}  // namespace

TColorQuantizer::TColorQuantizer(int maxColors, int depth)
    : maxColors_(std::clamp(maxColors, 0, 256)),
      depth_(std::clamp(depth, 1, 8)),
      cacheLevel_(std::min(kCacheBits, depth_)),
      cache_(kCacheCells, 0) {
  // Live nodes never exceed 1 + D * (M + 1): every node below the root leads to a leaf.
  nodes_.reserve(1 + static_cast<std::size_t>(depth_) * (static_cast<std::size_t>(maxColors_) + 1));
  for (auto& list : reducible_) list.reserve(static_cast<std::size_t>(maxColors_) + 2);
  nodes_.emplace_back();  // the root, created at level 0
  reducible_[0].push_back(0);
}

std::uint32_t TColorQuantizer::createChild(std::uint32_t parent, int index) {
  std::uint32_t id;
  if (!free_.empty()) {
    id = free_.back();
    free_.pop_back();
    nodes_[id] = TOctreeNode{};
  } else {
    id = static_cast<std::uint32_t>(nodes_.size());
    nodes_.emplace_back();
  }
  TOctreeNode& child = nodes_[id];
  const int level = nodes_[parent].level + 1;
  child.level = static_cast<std::uint8_t>(level);
  if (level == depth_) {
    child.leaf = true;
    ++leafCount_;
  } else {
    reducible_[level].push_back(static_cast<std::uint16_t>(id));
  }
  nodes_[parent].children[index] = static_cast<std::uint16_t>(id);
  ++nodes_[parent].childCount;
  return id;
}

std::uint32_t TColorQuantizer::descend(std::uint32_t node, std::uint8_t red, std::uint8_t green,
                                       std::uint8_t blue, int toLevel) {
  for (;;) {
    const TOctreeNode& n = nodes_[node];
    if (n.leaf || n.level >= toLevel) return node;
    const int index = childIndex(red, green, blue, n.level);
    const std::uint32_t child = n.children[index];
    node = child ? child : createChild(node, index);
  }
}

inline void TColorQuantizer::insert(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  const std::uint32_t key = static_cast<std::uint32_t>(red >> 3) |
                            (static_cast<std::uint32_t>(green >> 3) << 5) |
                            (static_cast<std::uint32_t>(blue >> 3) << 10);
  const std::uint32_t entry = cache_[key];
  std::uint32_t node;
  if ((entry >> 16) == stamp_) {
    node = entry & 0xFFFF;
  } else {
    node = descend(0, red, green, blue, cacheLevel_);
    cache_[key] = (stamp_ << 16) | node;
  }
  if (!nodes_[node].leaf) node = descend(node, red, green, blue, depth_);
  TOctreeNode& leaf = nodes_[node];
  ++leaf.pixelCount;
  leaf.redSum += red;
  leaf.greenSum += green;
  leaf.blueSum += blue;
  while (leafCount_ > maxColors_ && reduceOnce()) {
  }
}

bool TColorQuantizer::reduceOnce() {
  int level = depth_ - 1;
  while (level >= 0 && reducible_[level].empty()) --level;
  if (level < 0) return false;  // only with M = 0: the root is already the one leaf
  const std::uint16_t id = reducible_[level].back();
  reducible_[level].pop_back();
  TOctreeNode& n = nodes_[id];
  for (std::uint16_t& childId : n.children) {
    if (!childId) continue;
    const TOctreeNode& child = nodes_[childId];
    n.pixelCount += child.pixelCount;
    n.redSum += child.redSum;
    n.greenSum += child.greenSum;
    n.blueSum += child.blueSum;
    free_.push_back(childId);
    childId = 0;
  }
  leafCount_ -= n.childCount - 1;
  n.childCount = 0;
  n.leaf = true;
  // The deleted children sat at level + 1; cells may name them when that is within the shortcut.
  if (level < cacheLevel_) {
    if (++stamp_ == 0x10000) {
      std::fill(cache_.begin(), cache_.end(), 0);
      stamp_ = 1;
    }
  }
  return true;
}

void TColorQuantizer::addPixel(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  insert(red, green, blue);
}

void TColorQuantizer::addBitmap(const Bitmap& bitmap) {
  for (int y = 0; y < bitmap.height(); ++y) {
    const std::uint8_t* p = bitmap.row(y);
    for (int x = 0; x < bitmap.width(); ++x, p += 3) insert(p[2], p[1], p[0]);
  }
}

void TColorQuantizer::collect(std::uint32_t node, std::vector<PaletteColor>& out) const {
  const TOctreeNode& n = nodes_[node];
  if (n.leaf) {
    PaletteColor c;
    if (n.pixelCount) {
      c.red = static_cast<std::uint8_t>(n.redSum / n.pixelCount);
      c.green = static_cast<std::uint8_t>(n.greenSum / n.pixelCount);
      c.blue = static_cast<std::uint8_t>(n.blueSum / n.pixelCount);
    }
    out.push_back(c);
    return;
  }
  for (std::uint16_t child : n.children)
    if (child) collect(child, out);
}

std::vector<PaletteColor> TColorQuantizer::colors() const {
  std::vector<PaletteColor> out;
  out.reserve(static_cast<std::size_t>(leafCount_));
  collect(0, out);
  return out;
}

}  // namespace vorlino
