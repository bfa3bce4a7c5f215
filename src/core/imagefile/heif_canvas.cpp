// Reads just enough of a HEIF file's 'meta' box to find its grid and overlay items and their
// output sizes: 'iinf' for the item types, 'iloc' and 'idat' for where their data lies.
#include "imagefile/heif_canvas.h"

#include <map>

#include "imagefile/codec.h"

namespace vorlino {
namespace {

constexpr std::uint32_t fourcc(const char (&name)[5]) {
  return (std::uint32_t(std::uint8_t(name[0])) << 24) |
         (std::uint32_t(std::uint8_t(name[1])) << 16) |
         (std::uint32_t(std::uint8_t(name[2])) << 8) | std::uint32_t(std::uint8_t(name[3]));
}

struct Box {
  std::uint32_t type = 0;
  std::size_t body = 0;  // offset of the first byte after the header
  std::size_t end = 0;   // offset just past the box
};

// Reads the header of the box at the reader's position; false when it does not fit before `limit`.
bool nextBox(ByteReader& r, std::size_t limit, Box& box) {
  const std::size_t start = r.position();
  if (start >= limit || limit - start < 8) return false;
  std::uint64_t size = r.u32be();
  box.type = r.u32be();
  if (size == 1) {
    if (limit - start < 16) return false;
    size = std::uint64_t{r.u32be()} << 32;
    size |= r.u32be();
  } else if (size == 0) {
    size = limit - start;
  }
  if (size < r.position() - start || size > limit - start) return false;
  box.body = r.position();
  box.end = start + static_cast<std::size_t>(size);
  return true;
}

std::uint64_t readSized(ByteReader& r, unsigned bytes) {
  std::uint64_t v = 0;
  for (unsigned i = 0; i < bytes; ++i) v = (v << 8) | r.u8();
  return v;
}

struct Extent {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
};

struct Location {
  unsigned method = 0;  // 0 file offset, 1 inside 'idat', 2 item reference
  std::vector<Extent> extents;
};

struct MetaItems {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> derived;  // item id, item type
  std::map<std::uint32_t, std::uint32_t> types;                  // every item's type
  std::vector<std::pair<std::uint32_t, std::uint32_t>> sources;  // 'dimg': derived item, source
  std::map<std::uint32_t, Location> locations;
  Box idat;
};

// The item types libheif reads as pictures; a derived picture drawing from anything else stops it.
bool isPictureType(std::uint32_t type) {
  return type == fourcc("hvc1") || type == fourcc("av01") || type == fourcc("grid") ||
         type == fourcc("iovl") || type == fourcc("iden");
}

void readItemInfos(ByteReader& r, const Box& iinf, MetaItems& items) {
  const unsigned version = r.u8();
  r.skip(3);
  r.skip(version == 0 ? 2 : 4);  // the entry count; the boxes themselves tell
  Box infe;
  while (nextBox(r, iinf.end, infe)) {
    if (infe.type == fourcc("infe")) {
      const unsigned v = r.u8();
      r.skip(3);
      if (v >= 2) {
        const std::uint32_t id = v == 2 ? r.u16be() : r.u32be();
        r.skip(2);  // protection index
        const std::uint32_t type = r.u32be();
        if (!r.truncated()) items.types[id] = type;
        if (!r.truncated() && (type == fourcc("grid") || type == fourcc("iovl")))
          items.derived.emplace_back(id, type);
      }
    }
    r.seek(infe.end);
  }
}

// The 'dimg' references: which items each derived picture is made from. Read as libheif reads
// them: one reference after the other, each box's header read but its size not trusted, so that a
// reference libheif follows is never missed here.
void readReferences(ByteReader& r, const Box& iref, MetaItems& items) {
  const bool wide = r.u8() != 0;
  r.skip(3);
  while (!r.truncated() && r.position() + 8 <= iref.end) {
    const std::uint32_t boxSize = r.u32be();
    const std::uint32_t type = r.u32be();
    if (boxSize == 1) r.skip(8);  // a 64-bit size
    if (type == fourcc("uuid")) r.skip(16);
    const std::uint32_t from = wide ? r.u32be() : r.u16be();
    const unsigned count = r.u16be();
    for (unsigned i = 0; i < count && !r.truncated() && r.position() <= iref.end; ++i) {
      const std::uint32_t to = wide ? r.u32be() : r.u16be();
      if (!r.truncated() && r.position() <= iref.end && type == fourcc("dimg"))
        items.sources.emplace_back(from, to);
    }
  }
}

void readItemLocations(ByteReader& r, const Box& iloc, MetaItems& items) {
  const unsigned version = r.u8();
  r.skip(3);
  if (version > 2) return;
  const unsigned sizes = r.u16be();
  const unsigned offsetSize = sizes >> 12, lengthSize = (sizes >> 8) & 15;
  const unsigned baseSize = (sizes >> 4) & 15, indexSize = version > 0 ? sizes & 15 : 0;
  const std::uint32_t count = version < 2 ? r.u16be() : r.u32be();
  for (std::uint32_t i = 0; i < count && !r.truncated() && r.position() < iloc.end; ++i) {
    const std::uint32_t id = version < 2 ? r.u16be() : r.u32be();
    Location location;
    if (version > 0) location.method = r.u16be() & 15;
    r.skip(2);  // data reference index
    const std::uint64_t base = readSized(r, baseSize);
    const unsigned extents = r.u16be();
    for (unsigned e = 0; e < extents && !r.truncated() && r.position() < iloc.end; ++e) {
      readSized(r, indexSize);
      Extent extent;
      extent.offset = base + readSized(r, offsetSize);
      extent.length = readSized(r, lengthSize);
      location.extents.push_back(extent);
    }
    if (!r.truncated()) items.locations[id] = std::move(location);
  }
}

// The first bytes of an item's data, joined across its extents.
std::vector<std::uint8_t> itemHead(const std::uint8_t* data, std::size_t size, const Location& at,
                                   const Box& idat, std::size_t wanted) {
  std::vector<std::uint8_t> head;
  if (at.method > 1) return head;
  const std::size_t from = at.method == 1 ? idat.body : 0;
  const std::size_t to = at.method == 1 ? idat.end : size;
  for (const Extent& extent : at.extents) {
    if (extent.offset > to - from) break;
    const std::size_t begin = from + static_cast<std::size_t>(extent.offset);
    const std::size_t left = to - begin;
    const std::size_t length =
        extent.length == 0 || extent.length > left ? left : static_cast<std::size_t>(extent.length);
    for (std::size_t i = 0; i < length && head.size() < wanted; ++i)
      head.push_back(data[begin + i]);
    if (head.size() >= wanted) break;
  }
  return head;
}

// The output size in a grid's or an overlay's data.
bool canvasOf(const std::vector<std::uint8_t>& head, std::uint32_t type, HeifCanvas& canvas) {
  ByteReader r(head);
  r.u8();  // version
  const bool wide = (r.u8() & 1) != 0;
  r.skip(type == fourcc("grid") ? 2 : 8);  // rows and columns, or the fill colour
  canvas.width = wide ? r.u32be() : r.u16be();
  canvas.height = wide ? r.u32be() : r.u16be();
  return !r.truncated();
}

HeifDerivedImages derivedInMeta(const std::uint8_t* data, std::size_t size, ByteReader& r,
                                const Box& meta) {
  MetaItems items;
  r.skip(4);  // version and flags
  Box child;
  while (nextBox(r, meta.end, child)) {
    if (child.type == fourcc("iinf")) readItemInfos(r, child, items);
    if (child.type == fourcc("iloc")) readItemLocations(r, child, items);
    if (child.type == fourcc("idat")) items.idat = child;
    if (child.type == fourcc("iref")) readReferences(r, child, items);
    r.seek(child.end);
  }
  HeifDerivedImages found;
  for (const auto& [id, type] : items.derived) {
    const auto at = items.locations.find(id);
    if (at == items.locations.end()) continue;
    HeifCanvas canvas;
    if (canvasOf(itemHead(data, size, at->second, items.idat, 20), type, canvas))
      found.canvases.push_back(canvas);
  }
  for (const auto& [from, to] : items.sources) {
    const auto source = items.types.find(to);
    if (source == items.types.end() || !isPictureType(source->second)) found.missingSource = true;
  }
  return found;
}

}  // namespace

HeifDerivedImages heifDerivedImages(const std::uint8_t* data, std::size_t size) noexcept {
  try {
    ByteReader r(data, size);
    Box box;
    while (nextBox(r, size, box)) {
      if (box.type == fourcc("meta")) return derivedInMeta(data, size, r, box);
      r.seek(box.end);
    }
  } catch (...) {
  }
  return {};
}

}  // namespace vorlino
