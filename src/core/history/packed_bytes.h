// Compact storage for the undo list: a block of bytes compressed by a background thread.
//
// The bytes are cut into pieces of kPieceBytes, each compressed on its own (zstd, a fast level),
// so that reading them back runs on every core and needs only a piece-sized buffer per thread.
// Until a block is packed its original bytes are kept and read instead, so a reader never waits for
// the packer; once packed, only the compressed pieces remain and the original bytes go back to the
// system. Pieces are cut by size alone: the stored bytes do not depend on threads or timing.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "bitmap/bitmap.h"

namespace vorlino {

class BytePacker;

// dst[i] ^= src[i] for i < n, on every core for a large block.
void xorBytes(std::uint8_t* dst, const std::uint8_t* src, std::size_t n);

// One block of bytes: the whole pixel block (byteCount() bytes, row padding included) of the
// bitmap it was made from. Read from one thread at a time; the packer works beside it.
class PackedBytes {
 public:
  static constexpr std::size_t kPieceBytes = std::size_t{1} << 20;

  // Takes source's pixel block; packer (kept alive by the caller for as long as this object)
  // compresses it in the background.
  PackedBytes(vorlino::Bitmap&& source, BytePacker& packer);
  ~PackedBytes();
  PackedBytes(const PackedBytes&) = delete;
  PackedBytes& operator=(const PackedBytes&) = delete;

  std::size_t size() const { return size_; }
  // dst[i] ^= byte i, for the size() bytes of dst.
  void xorInto(std::uint8_t* dst) const;
  // dst[i] = byte i, for the size() bytes of dst.
  void copyInto(std::uint8_t* dst) const;
  // The memory held now: the original bytes until packed, then the compressed pieces.
  std::size_t storedBytes() const;
  bool packed() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
  std::size_t size_;
};

// The background thread of one undo list. Blocks are packed one at a time, in the order given; a
// block whose owner went away before or while it is packed is dropped.
class BytePacker {
 public:
  BytePacker() = default;
  // Drops the waiting blocks and joins the thread.
  ~BytePacker();
  BytePacker(const BytePacker&) = delete;
  BytePacker& operator=(const BytePacker&) = delete;

  // True while a block waits or is being packed.
  bool busy() const;
  // Returns once every block given so far is packed or dropped.
  void waitIdle() const;

 private:
  friend class PackedBytes;
  void enqueue(const std::shared_ptr<PackedBytes::State>& state);
  void run();

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::deque<std::weak_ptr<PackedBytes::State>> queue_;
  bool working_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace vorlino
