#include "history/packed_bytes.h"

#include <malloc.h>

#include <zstd.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "parallel/parallel.h"

namespace vorlino {
namespace {

// Fast enough to keep up with a command on one core; a changed border and an unchanged centre
// still shrink to a fraction of the block.
constexpr int kLevel = 1;

// The original bytes, given straight back to the system when the last reader lets go: memory the
// history no longer needs must not stay held as a reusable block.
struct OriginalBytes {
  explicit OriginalBytes(Bitmap&& source) : bitmap(std::move(source)) {}
  ~OriginalBytes() { bitmap.clearToSystem(); }
  OriginalBytes(const OriginalBytes&) = delete;
  OriginalBytes& operator=(const OriginalBytes&) = delete;
  Bitmap bitmap;
};

void xorRange(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t a, b;
    std::memcpy(&a, dst + i, 8);
    std::memcpy(&b, src + i, 8);
    a ^= b;
    std::memcpy(dst + i, &a, 8);
  }
  for (; i < n; ++i) dst[i] ^= src[i];
}

std::size_t pieceCount(std::size_t size) {
  return (size + PackedBytes::kPieceBytes - 1) / PackedBytes::kPieceBytes;
}

std::size_t pieceLength(std::size_t size, std::size_t piece) {
  return std::min(PackedBytes::kPieceBytes, size - piece * PackedBytes::kPieceBytes);
}

// Calls body(piece, offset, length) for every piece of a block of `size` bytes, on every core.
template <class Body>
void forEachPiece(std::size_t size, Body&& body) {
  const auto pieces = static_cast<int>(pieceCount(size));
  parallelRows(pieces, static_cast<std::int64_t>(PackedBytes::kPieceBytes),
               [&](int begin, int end) {
                 for (int p = begin; p < end; ++p) {
                   const auto piece = static_cast<std::size_t>(p);
                   body(piece, piece * PackedBytes::kPieceBytes, pieceLength(size, piece));
                 }
               });
}

struct CompressContext {
  ZSTD_CCtx* cctx = ZSTD_createCCtx();
  ~CompressContext() { ZSTD_freeCCtx(cctx); }
};

}  // namespace

struct PackedBytes::State {
  std::mutex mutex;
  std::shared_ptr<const OriginalBytes> original;  // until packed
  std::vector<std::vector<std::uint8_t>> pieces;  // once packed, never changed again
  std::size_t packedBytes = 0;
};

void xorBytes(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) {
  forEachPiece(n, [&](std::size_t, std::size_t offset, std::size_t length) {
    xorRange(dst + offset, src + offset, length);
  });
}

PackedBytes::PackedBytes(Bitmap&& source, BytePacker& packer)
    : state_(std::make_shared<State>()), size_(source.byteCount()) {
  // Allocated before source is moved: a failure leaves it untouched.
  state_->original = std::make_shared<const OriginalBytes>(std::move(source));
  packer.enqueue(state_);
}

PackedBytes::~PackedBytes() = default;

void PackedBytes::xorInto(std::uint8_t* dst) const {
  std::shared_ptr<const OriginalBytes> original;
  {
    const std::lock_guard lock(state_->mutex);
    original = state_->original;
  }
  if (original) {
    xorBytes(dst, original->bitmap.bits(), size_);
    return;
  }
  const State& s = *state_;
  forEachPiece(size_, [&](std::size_t piece, std::size_t offset, std::size_t length) {
    std::vector<std::uint8_t> bytes(length);
    const std::vector<std::uint8_t>& packed = s.pieces[piece];
    if (ZSTD_decompress(bytes.data(), length, packed.data(), packed.size()) != length)
      throw std::runtime_error("undo history damaged");
    xorRange(dst + offset, bytes.data(), length);
  });
}

void PackedBytes::copyInto(std::uint8_t* dst) const {
  std::shared_ptr<const OriginalBytes> original;
  {
    const std::lock_guard lock(state_->mutex);
    original = state_->original;
  }
  if (original) {
    if (size_ > 0) std::memcpy(dst, original->bitmap.bits(), size_);
    return;
  }
  const State& s = *state_;
  forEachPiece(size_, [&](std::size_t piece, std::size_t offset, std::size_t length) {
    const std::vector<std::uint8_t>& packed = s.pieces[piece];
    if (ZSTD_decompress(dst + offset, length, packed.data(), packed.size()) != length)
      throw std::runtime_error("undo history damaged");
  });
}

std::size_t PackedBytes::storedBytes() const {
  const std::lock_guard lock(state_->mutex);
  return (state_->original ? state_->original->bitmap.byteCount() : 0) + state_->packedBytes;
}

bool PackedBytes::packed() const {
  const std::lock_guard lock(state_->mutex);
  return !state_->original;
}

// ---- the packing thread -------------------------------------------------------------------------

BytePacker::~BytePacker() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    queue_.clear();
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool BytePacker::busy() const {
  const std::lock_guard lock(mutex_);
  return working_ || !queue_.empty();
}

void BytePacker::waitIdle() const {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !working_ && queue_.empty(); });
}

void BytePacker::enqueue(const std::shared_ptr<PackedBytes::State>& state) {
  // A block that cannot be queued stays as it is: readable, only larger.
  try {
    const std::lock_guard lock(mutex_);
    queue_.push_back(state);
    if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
  } catch (...) {
    const std::lock_guard lock(mutex_);
    if (!queue_.empty() && queue_.back().lock() == state) queue_.pop_back();
    return;
  }
  changed_.notify_all();
}

namespace {

// Compresses the state's original bytes piece by piece, then swaps them for the pieces. Gives up,
// leaving the state as it was, when the owner drops the block or anything fails.
void pack(const std::shared_ptr<PackedBytes::State>& state) {
  std::shared_ptr<const OriginalBytes> original;
  {
    const std::lock_guard lock(state->mutex);
    original = state->original;
  }
  if (!original) return;
  const std::size_t size = original->bitmap.byteCount();
  const std::uint8_t* bytes = original->bitmap.bits();
  CompressContext context;
  if (!context.cctx) return;
  std::vector<std::uint8_t> out(ZSTD_compressBound(PackedBytes::kPieceBytes));
  std::vector<std::vector<std::uint8_t>> pieces(pieceCount(size));
  std::size_t total = 0;
  for (std::size_t p = 0; p < pieces.size(); ++p) {
    if (state.use_count() == 1) return;  // the owner went away
    const std::size_t length = pieceLength(size, p);
    const std::size_t n = ZSTD_compressCCtx(context.cctx, out.data(), out.size(),
                                            bytes + p * PackedBytes::kPieceBytes, length, kLevel);
    if (ZSTD_isError(n)) return;
    pieces[p].assign(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n));
    total += n;
  }
  const std::lock_guard lock(state->mutex);
  state->pieces = std::move(pieces);
  state->packedBytes = total;
  state->original.reset();
}

}  // namespace

void BytePacker::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    std::weak_ptr<PackedBytes::State> next = std::move(queue_.front());
    queue_.pop_front();
    working_ = true;
    lock.unlock();
    try {
      if (auto state = next.lock()) pack(state);
    } catch (...) {
      // Out of memory: the block keeps its original bytes.
    }
    // Packing and dropped snapshots leave megabytes free in the C library's heaps: they go back to
    // the system, so the window's memory follows its history.
    malloc_trim(0);
    lock.lock();
    working_ = false;
    changed_.notify_all();
  }
}

}  // namespace vorlino
