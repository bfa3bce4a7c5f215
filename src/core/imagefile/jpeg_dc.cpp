// The DC-only JPEG reader. The markers are read as the JPEG standard lays them out; each scan's
// entropy-coded data is first copied without its stuffed zero bytes, so that the Huffman decoder
// reads plain big-endian words and both threads count bits alike.
#include "imagefile/jpeg_dc.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <optional>
#include <thread>

#include "parallel/parallel.h"

namespace vorlino {
namespace {

constexpr int kDcLutBits = 9;
constexpr int kAcLutBits = 11;
constexpr int kMaxBlocksInMcu = 10;
constexpr int kEndOfBlock = 64;
// How many block starts the second thread notes for the first to meet it at: the codes fall back
// into step within a few dozen blocks, so a few thousand are plenty.
constexpr std::size_t kMarks = 1 << 12;

CodecResult damaged(const char* why) {
  return CodecResult::fail(CodecError::ceDamaged, why);
}

CodecResult unsupported(const char* why) {
  return CodecResult::fail(CodecError::ceUnsupported, why);
}

// A Huffman table as the decoder walks it: codes up to the lookup's length through one lookup of
// the next bits, longer ones by their length.
struct HuffTable {
  bool defined = false;
  bool isDc = false;
  // DC: length << 8 | symbol. AC: bits to drop (code and the value after it) | k's step << 6,
  // the step being kEndOfBlock at the end of a block; and when the next code and its value fit
  // in the bits looked at too, the bits to drop for both << 13 | their steps << 19. 0: a longer
  // code, or none.
  std::array<std::uint32_t, 1 << kAcLutBits> lut{};
  std::array<std::int32_t, 18> maxCode{};  // the largest code of each length; -1 when none
  std::array<std::int32_t, 17> valueOffset{};
  std::array<std::uint8_t, 256> values{};
  int lutBits() const { return isDc ? kDcLutBits : kAcLutBits; }
};

// Adds to each AC entry the code that follows when it fits in the rest of the bits looked at, so
// that one lookup often steps over two codes. A code that ends the block has none after it in
// the block.
void pairCodes(HuffTable& t) {
  const std::array<std::uint32_t, 1 << kAcLutBits> single = t.lut;
  for (std::size_t i = 0; i < single.size(); ++i) {
    const std::uint32_t first = single[i];
    const unsigned drop = first & 63, step = first >> 6;
    if (first == 0 || step == kEndOfBlock || drop >= kAcLutBits) continue;
    const std::uint32_t second = single[(i << drop) & (single.size() - 1)];
    const unsigned drop2 = second & 63, step2 = second >> 6;
    if (second == 0 || drop + drop2 > kAcLutBits) continue;
    t.lut[i] = first | (drop + drop2) << 13 | (step + step2) << 19;
  }
}

// Builds the table from the 16 counts of codes per length and their symbols; false when the
// counts describe no valid code (too many, or a code of all ones), as libjpeg refuses them.
bool buildTable(HuffTable& t, bool isDc, const std::uint8_t* counts, const std::uint8_t* values,
                int total) {
  t = HuffTable{};
  t.isDc = isDc;
  std::copy(values, values + total, t.values.begin());
  if (isDc)
    for (int i = 0; i < total; ++i)
      if (values[i] > 15) return false;
  std::int32_t code = 0;
  int index = 0;
  for (int length = 1; length <= 16; ++length) {
    const int n = counts[length - 1];
    // The codes of this length must fit in it, leaving the all-ones code unused.
    if (code + n >= (std::int32_t{1} << length) && n > 0) return false;
    t.valueOffset[length] = index - code;
    t.maxCode[length] = n == 0 ? -1 : code + n - 1;
    for (int i = 0; i < n; ++i, ++code, ++index) {
      if (length > t.lutBits()) continue;
      const std::uint8_t symbol = values[index];
      std::uint32_t entry;
      if (isDc) {
        entry = static_cast<std::uint32_t>(length << 8 | symbol);
      } else {
        const int run = symbol >> 4, size = symbol & 15;
        const int step = size != 0 ? run + 1 : run == 15 ? 16 : kEndOfBlock;
        entry = static_cast<std::uint32_t>((length + size) | step << 6);
      }
      const int shift = t.lutBits() - length;
      std::fill_n(t.lut.begin() + (code << shift), std::size_t{1} << shift, entry);
    }
    code <<= 1;
  }
  t.maxCode[17] = 0x7FFFFFFF;
  if (!isDc) pairCodes(t);
  t.defined = true;
  return true;
}

struct Component {
  int id = 0;
  int h = 1;
  int v = 1;
  int quantTable = 0;
  int blocksWide = 0;
  int blocksHigh = 0;
  bool seen = false;           // a scan gave its DC
  std::int16_t* dc = nullptr;  // the DC of every block, row by row: every scan of it fills it whole
};

// One block of an MCU: its component and place, and the tables its codes use.
struct Slot {
  int component = 0;
  int dx = 0;
  int dy = 0;
  const HuffTable* dc = nullptr;
  const HuffTable* ac = nullptr;
};

struct Scan {
  std::vector<Slot> slots;  // the blocks of one MCU, in order
  std::uint64_t mcusAcross = 0;
  std::uint64_t mcusDown = 0;
  bool interleaved = false;
  bool skipAc = false;  // sequential: every DC is followed by the block's AC codes
  int pointTransform = 0;
  std::uint64_t restartInterval = 0;  // in MCUs; 0 when none
  std::uint64_t mcus() const { return mcusAcross * mcusDown; }
  std::uint64_t blocks() const { return mcus() * slots.size(); }
};

// Finds where the entropy-coded data that starts at data[pos] ends: the offset of the marker after
// it (size when none). Stuffed zero bytes and fill bytes are stepped over, and so are RST markers
// when the scan has restart intervals.
std::size_t entropyEnd(const std::uint8_t* data, std::size_t size, std::size_t pos, bool restarts) {
  while (pos < size) {
    const void* found = std::memchr(data + pos, 0xFF, size - pos);
    if (found == nullptr) return size;
    pos = static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - data);
    if (pos + 1 >= size) return size;
    const std::uint8_t next = data[pos + 1];
    if (next == 0x00 || next == 0xFF)
      pos += next == 0x00 ? 2 : 1;
    else if (restarts && next >= 0xD0 && next <= 0xD7)
      pos += 2;
    else
      return pos;
  }
  return size;
}

// The bytes of entropy-coded data in data[from, to) once stuffing is taken out; false when a
// marker comes first.
bool unstuffedLength(const std::uint8_t* data, std::size_t from, std::size_t to,
                     std::uint64_t& length) {
  std::uint64_t stuffed = 0;
  std::size_t pos = from;
  while (pos < to) {
    const void* found = std::memchr(data + pos, 0xFF, to - pos);
    if (found == nullptr) break;
    pos = static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - data);
    const std::uint8_t next = pos + 1 < to ? data[pos + 1] : 0x00;
    if (next == 0x00) {
      ++stuffed;
      pos += 2;
    } else if (next == 0xFF) {
      ++stuffed;
      ++pos;
    } else {
      return false;
    }
  }
  length = (to - from) - stuffed;
  return true;
}

// Reads Huffman-coded blocks straight from the file's bytes, taking the stuffing out as it goes.
// The marker after the data (or the end of the bytes) ends it; from there it reads zeros, as
// libjpeg does, and the caller watches pastEnd().
class BlockReader {
 public:
  // Reads from data[start]; logicalStart is how many bytes of unstuffed data lie before it.
  BlockReader(const std::uint8_t* data, std::size_t size, std::size_t start,
              std::uint64_t logicalStart = 0)
      : p_(data + start), end_(data + size), logical_(logicalStart) {}

  // The number of data bits read since the scan's start, stuffing not counted: the same bit has
  // the same position whichever reader reached it.
  std::uint64_t position() const { return logical_ * 8 - static_cast<unsigned>(bits_); }
  // Bits past the data's end were read.
  bool pastEnd() const { return ended_ && position() > endLogical_ * 8; }
  // A code matched nothing in its table.
  bool broken() const { return broken_; }

  // Steps over the RST marker that ends a restart interval, dropping the bits left before it;
  // false when no RST marker is there.
  bool restart() {
    acc_ = 0;
    bits_ = 0;
    if (end_ - p_ < 2 || p_[0] != 0xFF || p_[1] < 0xD0 || p_[1] > 0xD7) return false;
    p_ += 2;
    ended_ = false;
    return true;
  }

  // Reads one block with the tables of slot; returns its DC difference.
  int block(const Slot& slot, bool skipAc) {
    // The bits in hand stay in registers for the whole block.
    std::uint64_t acc = acc_;
    int bits = bits_;
    if (bits < 32) refill(acc, bits);
    int size;
    const std::uint32_t e = slot.dc->lut[acc >> (64 - kDcLutBits)];
    if (e != 0) {
      acc <<= e >> 8;
      bits -= e >> 8;
      size = e & 0xFF;
    } else {
      size = slowSymbol(*slot.dc, acc, bits);
    }
    int diff = 0;
    if (size != 0) {
      const auto value = static_cast<int>(acc >> (64 - size));
      acc <<= size;
      bits -= size;
      diff = value < (1 << (size - 1)) ? value - (1 << size) + 1 : value;
    }
    if (skipAc) {
      const HuffTable& ac = *slot.ac;
      for (int k = 1; k < 64;) {
        // A code and its value take at most 31 bits.
        if (bits < 32) refill(acc, bits);
        const std::uint32_t a = ac.lut[acc >> (64 - kAcLutBits)];
        if (a != 0) {
          // Both codes when the first leaves the block open; chosen by masks, not by a branch
          // that the codes would make unpredictable.
          const std::uint32_t step = (a >> 6) & 127, pairDrop = (a >> 13) & 63;
          const std::uint32_t pair =
              0u - static_cast<std::uint32_t>((pairDrop != 0) & (k + static_cast<int>(step) < 64));
          const std::uint32_t drop = (a & 63) ^ (((a & 63) ^ pairDrop) & pair);
          k += static_cast<int>(step ^ ((step ^ (a >> 19)) & pair));
          acc <<= drop;
          bits -= static_cast<int>(drop);
          continue;
        }
        const int symbol = slowSymbol(ac, acc, bits);
        const int run = symbol >> 4, length = symbol & 15;
        if (length != 0) {
          acc <<= length;
          bits -= length;
          k += run + 1;
        } else if (run == 15) {
          k += 16;
        } else {
          break;
        }
      }
    }
    acc_ = acc;
    bits_ = bits;
    return diff;
  }

 private:
  // Brings the bits in hand to at least 56. Eight bytes with no 0xFF among them go in at once.
  void refill(std::uint64_t& acc, int& bits) {
    if (end_ - p_ >= 8 && !ended_) {
      std::uint64_t word;
      std::memcpy(&word, p_, 8);
      word = __builtin_bswap64(word);
      const std::uint64_t inverted = ~word;
      if (((inverted - 0x0101010101010101ull) & ~inverted & 0x8080808080808080ull) == 0) {
        const int bytes = (63 - bits) >> 3;
        acc |= word >> bits;
        p_ += bytes;
        logical_ += static_cast<std::uint64_t>(bytes);
        bits |= 56;
        return;
      }
    }
    refillByBytes(acc, bits);
  }
  // The bits in hand, handed to and from the rare paths by value: a reference would keep them
  // in memory in the hot loop.
  struct Hand {
    std::uint64_t acc;
    int bits;
  };
  void refillByBytes(std::uint64_t& acc, int& bits) {
    const Hand hand = refilledByBytes({acc, bits});
    acc = hand.acc;
    bits = hand.bits;
  }
  __attribute__((noinline)) Hand refilledByBytes(Hand hand) {
    while (hand.bits <= 56) {
      hand.acc |= static_cast<std::uint64_t>(nextByte()) << (56 - hand.bits);
      hand.bits += 8;
      ++logical_;
    }
    return hand;
  }
  std::uint8_t nextByte() {
    if (ended_) return 0;
    if (p_ >= end_) return endHere();
    const std::uint8_t b = *p_;
    if (b != 0xFF) {
      ++p_;
      return b;
    }
    // Fill bytes, then either a stuffed zero (the byte is data) or a marker (the data ends).
    const std::uint8_t* q = p_ + 1;
    while (q < end_ && *q == 0xFF) ++q;
    if (q < end_ && *q == 0x00) {
      p_ = q + 1;
      return 0xFF;
    }
    return endHere();
  }
  std::uint8_t endHere() {
    ended_ = true;
    endLogical_ = logical_;
    return 0;
  }
  // A code longer than the lookup's (or no code): at most 16 bits, in hand.
  int slowSymbol(const HuffTable& t, std::uint64_t& acc, int& bits) {
    const int found = codeAt(t, static_cast<std::uint32_t>(acc >> 48));
    const int length = found >> 8;
    acc <<= length;
    bits -= length;
    return found & 0xFF;
  }
  // The code at the start of next16: its length << 8 | its symbol.
  __attribute__((noinline)) int codeAt(const HuffTable& t, std::uint32_t next16) {
    for (int length = t.lutBits() + 1; length <= 16; ++length) {
      const auto code = static_cast<std::int32_t>(next16 >> (16 - length));
      if (code <= t.maxCode[length])
        return length << 8 | t.values[static_cast<std::size_t>(code + t.valueOffset[length]) & 255];
    }
    // libjpeg reads such a code as 0 and goes on; the caller decides what to make of it.
    broken_ = true;
    return 16 << 8;
  }

  const std::uint8_t* p_;
  const std::uint8_t* end_;
  std::uint64_t logical_;
  std::uint64_t acc_ = 0;
  int bits_ = 0;
  bool ended_ = false;
  std::uint64_t endLogical_ = 0;
  bool broken_ = false;
};

// Puts a scan's MCUs in their components' grids as their differences come, in the scan's order:
// the running DC of each component (reset at each restart interval), and the place of each block.
class Placer {
 public:
  // Starts at MCU first of the scan, where the predictions are 0 (the scan's or an interval's
  // start).
  Placer(const Scan& scan, std::vector<Component>& components, std::uint64_t firstMcu)
      : scan_(scan), mcu_(firstMcu) {
    mx_ = mcu_ % scan.mcusAcross;
    my_ = mcu_ / scan.mcusAcross;
    for (std::size_t i = 0; i < scan.slots.size(); ++i) {
      const Slot& slot = scan.slots[i];
      Component& c = components[static_cast<std::size_t>(slot.component)];
      Place& place = places_[i];
      place.dc = c.dc;
      place.prediction = static_cast<std::size_t>(slot.component);
      place.wide = static_cast<std::uint64_t>(c.blocksWide);
      place.high = static_cast<std::uint64_t>(c.blocksHigh);
      place.h = scan.interleaved ? static_cast<std::uint64_t>(c.h) : 1;
      place.v = scan.interleaved ? static_cast<std::uint64_t>(c.v) : 1;
      place.dx = static_cast<std::uint64_t>(slot.dx);
      place.dy = static_cast<std::uint64_t>(slot.dy);
    }
  }

  // Places the next MCU, whose blocks' differences are diffs[0, slots).
  void put(const std::int16_t* diffs) {
    const std::size_t slots = scan_.slots.size();
    for (std::size_t i = 0; i < slots; ++i) {
      const Place& place = places_[i];
      // libjpeg keeps the running value in an int and stores it as a 16-bit coefficient.
      std::uint32_t& prediction = predictions_[place.prediction];
      prediction += static_cast<std::uint32_t>(static_cast<std::int32_t>(diffs[i]));
      const std::uint64_t bx = mx_ * place.h + place.dx, by = my_ * place.v + place.dy;
      // Blocks past the component's size only pad an MCU.
      if (bx < place.wide && by < place.high)
        place.dc[by * place.wide + bx] =
            static_cast<std::int16_t>(prediction << scan_.pointTransform);
    }
    ++mcu_;
    if (++mx_ == scan_.mcusAcross) {
      mx_ = 0;
      ++my_;
    }
    if (scan_.restartInterval != 0 && mcu_ % scan_.restartInterval == 0) predictions_.fill(0);
  }

 private:
  struct Place {
    std::int16_t* dc = nullptr;
    std::size_t prediction = 0;
    std::uint64_t wide = 0, high = 0, h = 1, v = 1, dx = 0, dy = 0;
  };
  const Scan& scan_;
  std::uint64_t mcu_;
  std::uint64_t mx_ = 0;
  std::uint64_t my_ = 0;
  std::array<Place, kMaxBlocksInMcu> places_{};
  std::array<std::uint32_t, 4> predictions_{};
};

// Reads one MCU's blocks into diffs.
inline void readMcu(BlockReader& in, const Scan& scan, std::int16_t* diffs) {
  for (std::size_t i = 0; i < scan.slots.size(); ++i)
    diffs[i] = static_cast<std::int16_t>(in.block(scan.slots[i], scan.skipAc));
}

// Where a block starts, as the second thread of a split scan saw it.
struct Mark {
  std::uint64_t position;
  std::size_t slot;
};

// The second half of a split scan without restart intervals, read from a guessed start: the
// first block of an MCU at a byte boundary. It notes where its first blocks start, for the first
// half to meet it, and keeps the differences of every block it reads, in order.
struct SecondHalf {
  std::size_t start = 0;  // in the file
  std::uint64_t logicalStart = 0;
  bool usable = false;
  std::vector<Mark> marks;
  std::atomic<bool> marksReady{false};
  std::atomic<bool> stop{false};
  std::atomic<bool> done{false};
  PixelBuffer diffs;
  std::atomic<std::uint64_t> published{0};  // blocks read so far, for the first thread to place
  std::uint64_t count = 0;                  // blocks read, once it ended

  void run(const std::uint8_t* data, std::size_t size, std::size_t scanStart, const Scan& scan) {
    usable = unstuffedLength(data, scanStart, start, logicalStart);
    if (usable) read(data, size, scan);
    marksReady.store(true, std::memory_order_release);
    done.store(true, std::memory_order_release);
  }

 private:
  void read(const std::uint8_t* data, std::size_t size, const Scan& scan) {
    BlockReader in(data, size, start, logicalStart);
    auto* out = reinterpret_cast<std::int16_t*>(diffs.data());
    const std::uint64_t most = scan.blocks();
    const std::size_t slots = scan.slots.size();
    std::size_t slot = 0;
    std::uint64_t n = 0;
    for (; n < most && !in.pastEnd(); ++n) {
      if (n < kMarks) {
        marks.push_back({in.position(), slot});
      } else if (n == kMarks) {
        marksReady.store(true, std::memory_order_release);
      }
      if ((n & 1023) == 0) {
        if (stop.load(std::memory_order_relaxed)) break;
        // All but the newest MCU's worth: a block that runs past the end is not kept.
        if (n > slots) published.store(n - slots, std::memory_order_release);
      }
      out[n] = static_cast<std::int16_t>(in.block(scan.slots[slot], scan.skipAc));
      if (++slot == slots) slot = 0;
    }
    // A block that ran past the data's end is not one of the file's.
    count = n > 0 && in.pastEnd() ? n - 1 : n;
  }
};

// Whether reading an MCU's blocks from slot `shift` on, wrapping round, uses the same tables as
// reading them from the first: then a reader that took the wrong block for an MCU's first still
// reads every code as the right one would (all three components of an RGB file share tables).
bool sameTablesShifted(const Scan& scan, std::size_t shift) {
  const std::size_t slots = scan.slots.size();
  for (std::size_t i = 0; i < slots; ++i) {
    const Slot& a = scan.slots[i];
    const Slot& b = scan.slots[(i + shift) % slots];
    if (a.dc != b.dc || a.ac != b.ac) return false;
  }
  return true;
}

// Reads the MCUs of a scan without restart intervals, whose data starts at data[start], on one
// thread or two.
CodecResult readUnbroken(const std::uint8_t* data, std::size_t size, std::size_t start,
                         const Scan& scan, std::vector<Component>& components,
                         const JpegDcOptions& options, JpegDcCoefficients& report) {
  const std::uint64_t total = scan.mcus();
  const std::size_t slots = scan.slots.size();
  std::optional<SecondHalf> second;
  std::thread worker;
  if (options.threads >= 2 && scan.skipAc) {
    // The data's end is not looked for: the rest of the file stands for it (a single scan runs
    // to the end of the file but for two bytes), and the second reader stops at the marker.
    const std::size_t end = size;
    const std::size_t length = end - start;
    if (length >= std::max<std::size_t>(options.minSplitBytes, 2)) {
      second.emplace();
      std::size_t from =
          start + std::clamp<std::size_t>(
                      static_cast<std::size_t>(static_cast<double>(length) * options.splitAt), 1,
                      length - 1);
      while (from < end && data[from - 1] == 0xFF) ++from;  // not inside a stuffed pair
      second->start = from;
      // Allocated here: the worker must not throw.
      second->marks.reserve(kMarks);
      second->diffs = PixelBuffer(total * slots * sizeof(std::int16_t), PixelBuffer::Fill::kAny);
      worker = std::thread([&] { second->run(data, size, start, scan); });
      report.split = true;
    }
  }
  const auto finishWorker = [&] {
    if (worker.joinable()) {
      second->stop.store(true, std::memory_order_relaxed);
      worker.join();
    }
  };
  bool looking = second.has_value();
  std::uint64_t meetFrom = 0;
  std::size_t nextMark = 0;

  BlockReader in(data, size, start);
  Placer placer(scan, components, 0);
  std::array<std::int16_t, kMaxBlocksInMcu> diffs{};
  for (std::uint64_t n = 0; n < total; ++n) {
    if (in.pastEnd()) {
      finishWorker();
      return damaged("the scan's data ends early");
    }
    if (looking) {
      const std::uint64_t position = in.position();
      if (meetFrom == 0 && position >= static_cast<std::uint64_t>(second->start - start) * 4) {
        // Halfway to the second half's start (counted in file bytes, at least its data
        // bytes): the worker has counted where its start lies in the data by now.
        while (!second->marksReady.load(std::memory_order_acquire)) std::this_thread::yield();
        if (second->usable)
          meetFrom = second->logicalStart * 8;
        else
          looking = false;
      }
      if (looking && meetFrom != 0 && position >= meetFrom) {
        const std::vector<Mark>& marks = second->marks;
        while (nextMark < marks.size() && marks[nextMark].position < position) ++nextMark;
        std::size_t match = nextMark;
        while (match < marks.size() && marks[match].position == position &&
               !sameTablesShifted(scan, marks[match].slot))
          ++match;
        if (nextMark == marks.size()) {
          looking = false;  // never met: read on alone
          second->stop.store(true, std::memory_order_relaxed);
        } else if (match < marks.size() && marks[match].position == position) {
          // Both threads are at a block's start on the same bit, reading it with the same
          // tables: from here on they read the same codes, so the second's differences are
          // right. They are placed as they come.
          const std::uint64_t first = match, need = (total - n) * slots;
          const auto* theirs = reinterpret_cast<const std::int16_t*>(second->diffs.data());
          std::uint64_t placed = first;
          const auto placeUpTo = [&](std::uint64_t end) {
            end = std::min(end, first + need);
            for (; placed + slots <= end; placed += slots) placer.put(theirs + placed);
          };
          while (worker.joinable()) {
            placeUpTo(second->published.load(std::memory_order_acquire));
            if (second->done.load(std::memory_order_acquire))
              worker.join();
            else
              std::this_thread::yield();
          }
          if (second->count >= first + need && !in.broken()) {
            placeUpTo(second->count);
            report.secondHalfKept = true;
            return CodecResult::success();
          }
          return damaged("the scan's data ends early");
        }
      }
    }
    readMcu(in, scan, diffs.data());
    placer.put(diffs.data());
  }
  finishWorker();
  if (in.pastEnd()) return damaged("the scan's data ends early");
  if (in.broken()) return damaged("bad Huffman code");
  return CodecResult::success();
}

// Reads the restart intervals [first, last) of a scan, the first of which starts at data[from].
bool readIntervals(const std::uint8_t* data, std::size_t size, std::size_t from, const Scan& scan,
                   std::uint64_t first, std::uint64_t last, std::vector<Component>& components) {
  BlockReader in(data, size, from);
  Placer placer(scan, components, first * scan.restartInterval);
  std::array<std::int16_t, kMaxBlocksInMcu> diffs{};
  for (std::uint64_t i = first; i < last; ++i) {
    if (i != first && !in.restart()) return false;
    const std::uint64_t mcus =
        std::min(scan.restartInterval, scan.mcus() - i * scan.restartInterval);
    for (std::uint64_t m = 0; m < mcus; ++m) {
      if (in.pastEnd()) return false;
      readMcu(in, scan, diffs.data());
      placer.put(diffs.data());
    }
    if (in.pastEnd() || in.broken()) return false;
  }
  return true;
}

// The offset of the RST marker that ends restart interval `index` - 1 of the data at
// data[start], stepped over; 0 when there are fewer markers.
std::size_t intervalStart(const std::uint8_t* data, std::size_t size, std::size_t start,
                          std::uint64_t index) {
  std::size_t pos = start;
  std::uint64_t seen = 0;
  while (pos < size && seen < index) {
    const void* found = std::memchr(data + pos, 0xFF, size - pos);
    if (found == nullptr) return 0;
    pos = static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - data);
    if (pos + 1 >= size) return 0;
    const std::uint8_t next = data[pos + 1];
    if (next == 0x00 || next == 0xFF) {
      pos += next == 0x00 ? 2 : 1;
    } else if (next >= 0xD0 && next <= 0xD7) {
      pos += 2;
      ++seen;
    } else {
      return 0;
    }
  }
  return seen == index ? pos : 0;
}

CodecResult readWithRestarts(const std::uint8_t* data, std::size_t size, std::size_t start,
                             const Scan& scan, std::vector<Component>& components,
                             const JpegDcOptions& options, JpegDcCoefficients& report) {
  const std::uint64_t count = (scan.mcus() + scan.restartInterval - 1) / scan.restartInterval;
  const auto broken = [] { return damaged("broken restart interval"); };
  if (options.threads >= 2 && scan.skipAc && count >= 2 && size - start >= options.minSplitBytes) {
    const auto half = std::clamp<std::uint64_t>(
        static_cast<std::uint64_t>(static_cast<double>(count) * options.splitAt), 1, count - 1);
    bool secondOk = false;
    std::thread worker([&] {
      const std::size_t from = intervalStart(data, size, start, half);
      secondOk = from != 0 && readIntervals(data, size, from, scan, half, count, components);
    });
    const bool firstOk = readIntervals(data, size, start, scan, 0, half, components);
    worker.join();
    report.split = true;
    report.secondHalfKept = true;
    return firstOk && secondOk ? CodecResult::success() : broken();
  }
  return readIntervals(data, size, start, scan, 0, count, components) ? CodecResult::success()
                                                                      : broken();
}

// Reads big-endian 16-bit values.
inline unsigned u16(const std::uint8_t* p) {
  return static_cast<unsigned>(p[0]) << 8 | p[1];
}

class DcReader {
 public:
  DcReader(const std::uint8_t* data, std::size_t size, const JpegDcOptions& options,
           JpegDcCoefficients& out)
      : data_(data), size_(size), options_(options), out_(out) {}

  CodecResult read() {
    if (size_ < 4 || data_[0] != 0xFF || data_[1] != 0xD8)
      return CodecResult::fail(CodecError::ceSignature, "no JPEG");
    std::size_t pos = 2;
    while (true) {
      // Garbage before a marker is skipped, as libjpeg does; fill bytes too.
      while (pos < size_ && data_[pos] != 0xFF) ++pos;
      while (pos < size_ && data_[pos] == 0xFF) ++pos;
      if (pos >= size_) return damaged("the file ends before the picture does");
      const std::uint8_t marker = data_[pos++];
      if (marker == 0xD9) return damaged("the picture ends early");
      if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
      if (pos + 2 > size_) return damaged("cut segment");
      const std::size_t length = u16(data_ + pos);
      if (length < 2 || pos + length > size_) return damaged("cut segment");
      const std::uint8_t* body = data_ + pos + 2;
      const std::size_t bodySize = length - 2;
      pos += length;
      CodecResult r = CodecResult::success();
      switch (marker) {
        case 0xC0:
        case 0xC1:
        case 0xC2:
          r = frame(body, bodySize, marker == 0xC2);
          break;
        case 0xC4:
          r = huffmanTables(body, bodySize);
          break;
        case 0xDB:
          r = quantTables(body, bodySize);
          break;
        case 0xDD:
          if (bodySize < 2) return damaged("DRI");
          restartInterval_ = u16(body);
          break;
        case 0xE0:
          if (bodySize >= 5 && std::memcmp(body, "JFIF", 5) == 0) jfif_ = true;
          break;
        case 0xEE:
          if (bodySize >= 12 && std::memcmp(body, "Adobe", 5) == 0) adobeTransform_ = body[11];
          break;
        case 0xDA: {
          if (components_.empty()) return damaged("scan before the frame");
          std::size_t end = 0;
          r = scan(body, bodySize, pos, end);
          if (!r.ok()) return r;
          pos = end;
          if (std::all_of(components_.begin(), components_.end(),
                          [](const Component& c) { return c.seen; }))
            return finish();
          break;
        }
        default:
          if (marker == 0xDC || (marker >= 0xC3 && marker <= 0xCF))
            return unsupported("coding process");
          break;
      }
      if (!r.ok()) return r;
    }
  }

  CodecResult frame(const std::uint8_t* p, std::size_t n, bool progressive) {
    if (!components_.empty()) return damaged("two frames");
    if (n < 6) return damaged("SOF");
    if (p[0] != 8) return unsupported("sample precision");
    height_ = static_cast<int>(u16(p + 1));
    width_ = static_cast<int>(u16(p + 3));
    const int count = p[5];
    if (height_ == 0) return unsupported("height given after the scan");
    if (count != 1 && count != 3) return unsupported("component count");
    if (n < 6 + 3 * static_cast<std::size_t>(count)) return damaged("SOF");
    if (auto r = checkDimensions(width_, height_, options_.limits); !r.ok()) return r;
    progressive_ = progressive;
    for (int i = 0; i < count; ++i) {
      const std::uint8_t* c = p + 6 + 3 * i;
      Component component;
      component.id = c[0];
      component.h = c[1] >> 4;
      component.v = c[1] & 15;
      component.quantTable = c[2];
      if (component.h < 1 || component.h > 4 || component.v < 1 || component.v > 4 ||
          component.quantTable > 3)
        return damaged("component");
      hMax_ = std::max(hMax_, component.h);
      vMax_ = std::max(vMax_, component.v);
      components_.push_back(std::move(component));
    }
    const auto blocks = [](int side, int sampling, int most) {
      const auto units = static_cast<std::uint64_t>(most) * 8;
      return static_cast<int>((static_cast<std::uint64_t>(side) * sampling + units - 1) / units);
    };
    // One block for all components: large enough for huge pages, whose faults cost far less.
    std::size_t total = 0;
    for (Component& c : components_) {
      c.blocksWide = blocks(width_, c.h, hMax_);
      c.blocksHigh = blocks(height_, c.v, vMax_);
      total += static_cast<std::size_t>(c.blocksWide) * static_cast<std::size_t>(c.blocksHigh);
    }
    storage_ = PixelBuffer(total * sizeof(std::int16_t), PixelBuffer::Fill::kAny);
    auto* next = reinterpret_cast<std::int16_t*>(storage_.data());
    for (Component& c : components_) {
      c.dc = next;
      next += static_cast<std::size_t>(c.blocksWide) * static_cast<std::size_t>(c.blocksHigh);
    }
    return CodecResult::success();
  }

  CodecResult huffmanTables(const std::uint8_t* p, std::size_t n) {
    while (n > 0) {
      if (n < 17) return damaged("DHT");
      const int kind = p[0] >> 4, index = p[0] & 15;
      if (kind > 1 || index > 3) return damaged("DHT");
      int total = 0;
      for (int i = 1; i <= 16; ++i) total += p[i];
      if (total > 256 || n < 17 + static_cast<std::size_t>(total)) return damaged("DHT");
      HuffTable& t = kind == 0 ? dcTables_[static_cast<std::size_t>(index)]
                               : acTables_[static_cast<std::size_t>(index)];
      if (!buildTable(t, kind == 0, p + 1, p + 17, total)) return damaged("Huffman table");
      p += 17 + total;
      n -= 17 + static_cast<std::size_t>(total);
    }
    return CodecResult::success();
  }

  CodecResult quantTables(const std::uint8_t* p, std::size_t n) {
    while (n > 0) {
      const int precision = p[0] >> 4, index = p[0] & 15;
      const std::size_t length = precision == 0 ? 65 : 129;
      if (precision > 1 || index > 3 || n < length) return damaged("DQT");
      quant_[static_cast<std::size_t>(index)] =
          precision == 0 ? p[1] : static_cast<std::uint16_t>(u16(p + 1));
      quantDefined_[static_cast<std::size_t>(index)] = true;
      p += length;
      n -= length;
    }
    return CodecResult::success();
  }

  // Reads a scan whose header is p[0, n) and whose data starts at data_[pos]; end is where the
  // marker after its data is.
  CodecResult scan(const std::uint8_t* p, std::size_t n, std::size_t pos, std::size_t& end) {
    if (n < 1) return damaged("SOS");
    const int count = p[0];
    if (count < 1 || count > 4 || n < 4 + 2 * static_cast<std::size_t>(count))
      return damaged("SOS");
    const std::uint8_t* tail = p + 1 + 2 * count;
    const int ss = tail[0], se = tail[1], ah = tail[2] >> 4, al = tail[2] & 15;
    Scan s;
    s.restartInterval = restartInterval_;
    s.interleaved = count > 1;
    std::vector<int> members;
    for (int i = 0; i < count; ++i) {
      const int id = p[1 + 2 * i];
      const auto it = std::find_if(components_.begin(), components_.end(),
                                   [id](const Component& c) { return c.id == id; });
      if (it == components_.end()) return damaged("scan of an unknown component");
      members.push_back(static_cast<int>(it - components_.begin()));
      const int dcIndex = p[2 + 2 * i] >> 4, acIndex = p[2 + 2 * i] & 15;
      if (dcIndex > 3 || acIndex > 3) return damaged("SOS table");
      Slot slot;
      slot.component = members.back();
      slot.dc = &dcTables_[static_cast<std::size_t>(dcIndex)];
      slot.ac = &acTables_[static_cast<std::size_t>(acIndex)];
      const Component& c = *it;
      for (int dy = 0; dy < (s.interleaved ? c.v : 1); ++dy)
        for (int dx = 0; dx < (s.interleaved ? c.h : 1); ++dx) {
          slot.dx = dx;
          slot.dy = dy;
          s.slots.push_back(slot);
        }
    }
    if (s.slots.size() > static_cast<std::size_t>(kMaxBlocksInMcu)) return damaged("MCU");
    // Which scans hold what this reader wants: a sequential scan, or a progressive first DC
    // scan. The others are stepped over.
    bool wanted;
    if (progressive_) {
      if (ss == 0 && se != 0) return damaged("progressive scan");
      wanted = ss == 0 && ah == 0;
      s.pointTransform = al;
    } else {
      if (ss != 0 || se != 63 || ah != 0 || al != 0) return unsupported("sequential scan");
      wanted = true;
      s.skipAc = true;
    }
    if (wanted)
      for (const Slot& slot : s.slots)
        if (!slot.dc->defined || (s.skipAc && !slot.ac->defined))
          return damaged("Huffman table missing");
    if (s.interleaved) {
      const auto units = [](int side, int most) {
        return (static_cast<std::uint64_t>(side) + most * 8 - 1) /
               (static_cast<std::uint64_t>(most) * 8);
      };
      s.mcusAcross = units(width_, hMax_);
      s.mcusDown = units(height_, vMax_);
    } else {
      const Component& c = components_[static_cast<std::size_t>(members[0])];
      s.mcusAcross = static_cast<std::uint64_t>(c.blocksWide);
      s.mcusDown = static_cast<std::uint64_t>(c.blocksHigh);
    }
    if (!wanted) {
      end = entropyEnd(data_, size_, pos, s.restartInterval != 0);
      return CodecResult::success();
    }
    const CodecResult r = s.restartInterval != 0
                              ? readWithRestarts(data_, size_, pos, s, components_, options_, out_)
                              : readUnbroken(data_, size_, pos, s, components_, options_, out_);
    if (!r.ok()) return r;
    for (int member : members) components_[static_cast<std::size_t>(member)].seen = true;
    // The next scan starts after this one's data; none is needed once every component is read.
    const bool more = std::any_of(components_.begin(), components_.end(),
                                  [](const Component& c) { return !c.seen; });
    end = more ? entropyEnd(data_, size_, pos, s.restartInterval != 0) : size_;
    return CodecResult::success();
  }

  // Each component's DC values once read() succeeded, row by row.
  const std::int16_t* dc(std::size_t component) const { return components_[component].dc; }

 private:
  CodecResult finish() {
    out_.width = width_;
    out_.height = height_;
    out_.components.clear();
    for (Component& c : components_) {
      if (!quantDefined_[static_cast<std::size_t>(c.quantTable)])
        return damaged("quantisation table missing");
      JpegDcCoefficients::Component o;
      o.blocksWide = c.blocksWide;
      o.blocksHigh = c.blocksHigh;
      o.hSampling = c.h;
      o.vSampling = c.v;
      o.dcQuant = quant_[static_cast<std::size_t>(c.quantTable)];
      out_.components.push_back(std::move(o));
    }
    // Three components are told apart as libjpeg does: JFIF means YCbCr, then Adobe's
    // transform flag, then the component identifiers.
    out_.rgb = false;
    if (components_.size() == 3 && !jfif_) {
      if (adobeTransform_ >= 0)
        out_.rgb = adobeTransform_ == 0;
      else
        out_.rgb = components_[0].id == 'R' && components_[1].id == 'G' && components_[2].id == 'B';
    }
    return CodecResult::success();
  }

  const std::uint8_t* data_;
  std::size_t size_;
  const JpegDcOptions& options_;
  JpegDcCoefficients& out_;
  int width_ = 0;
  int height_ = 0;
  bool progressive_ = false;
  int hMax_ = 1;
  int vMax_ = 1;
  std::vector<Component> components_;
  PixelBuffer storage_;  // the components' DC values
  std::array<HuffTable, 4> dcTables_{};
  std::array<HuffTable, 4> acTables_{};
  std::array<std::uint16_t, 4> quant_{};
  std::array<bool, 4> quantDefined_{};
  std::uint64_t restartInterval_ = 0;
  bool jfif_ = false;
  int adobeTransform_ = -1;
};

// A block's average as libjpeg's 1 x 1 inverse DCT gives it: the coefficient times its 16-bit
// multiplier, divided by 8 and rounded, then level-shifted through libjpeg's range table, which
// wraps values far out of range rather than clamping them.
std::uint8_t blockAverage(std::int16_t dc, std::uint16_t quant) {
  const int value = (dc * static_cast<int>(static_cast<std::int16_t>(quant)) + 4) >> 3;
  const int t = value & 1023;
  if (t < 128) return static_cast<std::uint8_t>(t + 128);
  if (t < 512) return 255;
  if (t < 896) return 0;
  return static_cast<std::uint8_t>(t - 896);
}

// libjpeg's YCbCr to RGB tables (16 fraction bits).
struct YccTables {
  std::array<int, 256> crR{}, cbB{}, crG{}, cbG{};
  YccTables() {
    constexpr int kBits = 16;
    constexpr std::int64_t kHalf = std::int64_t{1} << (kBits - 1);
    const auto fix = [](double x) { return static_cast<std::int64_t>(x * (1 << kBits) + 0.5); };
    for (int i = 0; i < 256; ++i) {
      const std::int64_t x = i - 128;
      crR[i] = static_cast<int>((fix(1.40200) * x + kHalf) >> kBits);
      cbB[i] = static_cast<int>((fix(1.77200) * x + kHalf) >> kBits);
      crG[i] = static_cast<int>(-fix(0.71414) * x);
      cbG[i] = static_cast<int>(-fix(0.34414) * x + kHalf);
    }
  }
};

std::uint8_t clampByte(int v) {
  return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

// dcs: each component's DC values, row by row.
void paint(const JpegDcCoefficients& dc, const std::vector<const std::int16_t*>& dcs,
           Bitmap& picture) {
  const int width = (dc.width + 7) / 8, height = (dc.height + 7) / 8;
  picture.resetForOverwrite(width, height, 24);
  int hMax = 1, vMax = 1;
  for (const auto& c : dc.components) {
    hMax = std::max(hMax, c.hSampling);
    vMax = std::max(vMax, c.vSampling);
  }
  // Where each output pixel takes each component's block from: the nearest one.
  std::vector<std::vector<std::size_t>> columns;
  for (const auto& c : dc.components) {
    std::vector<std::size_t>& map = columns.emplace_back(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x)
      map[static_cast<std::size_t>(x)] =
          static_cast<std::size_t>(std::min(x * c.hSampling / hMax, c.blocksWide - 1));
  }
  static const YccTables ycc;
  const std::size_t count = dc.components.size();
  parallelRows(height, width, [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      std::array<const std::int16_t*, 3> rows{};
      std::array<std::uint16_t, 3> quant{};
      for (std::size_t i = 0; i < count; ++i) {
        const auto& c = dc.components[i];
        const int by = std::min(y * c.vSampling / vMax, c.blocksHigh - 1);
        rows[i] = dcs[i] + static_cast<std::size_t>(by) * static_cast<std::size_t>(c.blocksWide);
        quant[i] = c.dcQuant;
      }
      const auto sample = [&](std::size_t i, std::size_t x) {
        return blockAverage(rows[i][columns[i][x]], quant[i]);
      };
      std::uint8_t* out = picture.row(y);
      for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x, out += 3) {
        if (count == 1) {
          out[0] = out[1] = out[2] = sample(0, x);
          continue;
        }
        const std::uint8_t a = sample(0, x), b = sample(1, x), c = sample(2, x);
        if (dc.rgb) {
          out[0] = c;
          out[1] = b;
          out[2] = a;
          continue;
        }
        out[0] = clampByte(a + ycc.cbB[b]);
        out[1] = clampByte(a + ((ycc.cbG[b] + ycc.crG[c]) >> 16));
        out[2] = clampByte(a + ycc.crR[c]);
      }
    }
  });
}

}  // namespace

CodecResult readJpegDcCoefficients(const std::uint8_t* data, std::size_t size,
                                   JpegDcCoefficients& out, const JpegDcOptions& options) noexcept {
  return runCodec([&]() -> CodecResult {
    JpegDcCoefficients found;
    DcReader reader(data, size, options, found);
    if (auto r = reader.read(); !r.ok()) return r;
    for (std::size_t i = 0; i < found.components.size(); ++i) {
      auto& c = found.components[i];
      const std::int16_t* values = reader.dc(i);
      c.dc.assign(values, values + static_cast<std::size_t>(c.blocksWide) *
                                       static_cast<std::size_t>(c.blocksHigh));
    }
    out = std::move(found);
    return CodecResult::success();
  });
}

CodecResult readJpegDc(const std::uint8_t* data, std::size_t size, Bitmap& out,
                       const JpegDcOptions& options) noexcept {
  return runCodec([&]() -> CodecResult {
    JpegDcCoefficients found;
    DcReader reader(data, size, options, found);
    if (auto r = reader.read(); !r.ok()) return r;
    std::vector<const std::int16_t*> dcs;
    for (std::size_t i = 0; i < found.components.size(); ++i) dcs.push_back(reader.dc(i));
    Bitmap picture;
    paint(found, dcs, picture);
    out = std::move(picture);
    return CodecResult::success();
  });
}

}  // namespace vorlino
