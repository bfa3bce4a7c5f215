// Shared plumbing of the decoders and encoders: byte streams, error values and limits.
//
// Shapes every codec follows:
//   CodecResult readXxx(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;
//   CodecResult writeXxx(const Bitmap& bmp, ByteWriter& out, const XxxOptions& opt) noexcept;
// A decoder decodes into a local bitmap and moves it into `out` only on success. No exception
// leaves a codec: runCodec() turns bad_alloc and the like into an error value.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"

namespace vorlino {

enum class CodecError {
  ceNone,
  ceSignature,    // not this format
  ceUnsupported,  // a variant this decoder does not read
  ceDamaged,      // inconsistent or truncated data
  ceTooLarge,     // over the limits
  ceNoMemory,
  ceIo,  // the file could not be read or written
};

struct CodecResult {
  CodecError error = CodecError::ceNone;
  std::string detail;  // short technical text, never shown to the user
  bool ok() const { return error == CodecError::ceNone; }
  static CodecResult success() { return {}; }
  static CodecResult fail(CodecError e, std::string d = {}) { return {e, std::move(d)}; }
};

struct DecodeLimits {
  std::uint64_t maxPixels = std::uint64_t{1} << 28;
  // When set and it turns true, a decoder that watches it (JPEG's) gives up with ceIo "cancelled":
  // a picture nobody waits for any more stops taking a processor.
  const std::atomic<bool>* cancelled = nullptr;
};

// Checks a decoded size against the limits before anything is allocated.
inline CodecResult checkDimensions(std::uint64_t width, std::uint64_t height,
                                   const DecodeLimits& limits) {
  if (width == 0 || height == 0) return CodecResult::fail(CodecError::ceDamaged, "zero size");
  if (width > static_cast<std::uint64_t>(Bitmap::kMaxSide) ||
      height > static_cast<std::uint64_t>(Bitmap::kMaxSide) || width * height > limits.maxPixels)
    return CodecResult::fail(CodecError::ceTooLarge, "image too large");
  return CodecResult::success();
}

// Reads a byte buffer. Reads past the end give 0 and set truncated(); a decoder checks truncated()
// and fails, so that a truncated file never yields a half-decoded picture.
class ByteReader {
 public:
  ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  explicit ByteReader(const std::vector<std::uint8_t>& v) : ByteReader(v.data(), v.size()) {}

  std::size_t size() const { return size_; }
  std::size_t position() const { return pos_; }
  std::size_t remaining() const { return pos_ < size_ ? size_ - pos_ : 0; }
  bool truncated() const { return truncated_; }
  const std::uint8_t* data() const { return data_; }
  // Full path of the file being read, when there is one (a decoder that reads a side file, such
  // as a palette beside the picture, needs it). May be empty.
  const std::string& fileName() const { return fileName_; }
  void setFileName(std::string name) { fileName_ = std::move(name); }

  void seek(std::size_t pos) {
    if (pos > size_) {
      truncated_ = true;
      pos_ = size_;
    } else {
      pos_ = pos;
    }
  }
  void skip(std::size_t n) { seek(n > remaining() ? size_ + 1 : pos_ + n); }

  std::uint8_t u8() {
    if (pos_ >= size_) {
      truncated_ = true;
      return 0;
    }
    return data_[pos_++];
  }
  std::uint16_t u16le() {
    std::uint16_t a = u8();
    return static_cast<std::uint16_t>(a | (u8() << 8));
  }
  std::uint16_t u16be() {
    std::uint16_t a = u8();
    return static_cast<std::uint16_t>((a << 8) | u8());
  }
  std::uint32_t u32le() {
    std::uint32_t a = u16le();
    return a | (std::uint32_t{u16le()} << 16);
  }
  std::uint32_t u32be() {
    std::uint32_t a = u16be();
    return (a << 16) | u16be();
  }
  std::int32_t i32le() { return static_cast<std::int32_t>(u32le()); }

  // Copies n bytes to dst; a short read zero-fills the rest and sets truncated().
  bool read(void* dst, std::size_t n) {
    std::size_t avail = remaining();
    std::size_t take = n < avail ? n : avail;
    if (take) std::memcpy(dst, data_ + pos_, take);
    pos_ += take;
    if (take < n) {
      std::memset(static_cast<std::uint8_t*>(dst) + take, 0, n - take);
      truncated_ = true;
      return false;
    }
    return true;
  }
  // Pointer to the next n bytes and advance, or nullptr (and truncated()) when fewer are left.
  const std::uint8_t* take(std::size_t n) {
    if (n > remaining()) {
      truncated_ = true;
      pos_ = size_;
      return nullptr;
    }
    const std::uint8_t* p = data_ + pos_;
    pos_ += n;
    return p;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  bool truncated_ = false;
  std::string fileName_;
};

// Collects the bytes of an encoded file in memory; the save routine writes them to disk.
class ByteWriter {
 public:
  void u8(std::uint8_t v) { buf_.push_back(v); }
  void u16le(std::uint16_t v) {
    u8(static_cast<std::uint8_t>(v));
    u8(static_cast<std::uint8_t>(v >> 8));
  }
  void u16be(std::uint16_t v) {
    u8(static_cast<std::uint8_t>(v >> 8));
    u8(static_cast<std::uint8_t>(v));
  }
  void u32le(std::uint32_t v) {
    u16le(static_cast<std::uint16_t>(v));
    u16le(static_cast<std::uint16_t>(v >> 16));
  }
  void u32be(std::uint32_t v) {
    u16be(static_cast<std::uint16_t>(v >> 16));
    u16be(static_cast<std::uint16_t>(v));
  }
  void write(const void* p, std::size_t n) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    buf_.insert(buf_.end(), b, b + n);
  }
  // Room for n bytes in all; a large output gets huge pages, as its first writes would otherwise
  // fault page by page.
  void reserve(std::size_t n) {
    buf_.reserve(n);
    if (n >= (std::size_t{4} << 20)) adviseHugePages(buf_.data(), buf_.capacity());
  }
  std::size_t size() const { return buf_.size(); }
  std::vector<std::uint8_t>& bytes() { return buf_; }
  const std::vector<std::uint8_t>& bytes() const { return buf_; }
  // Overwrites 4 bytes at pos (little-endian), for sizes known only at the end.
  void patchU32le(std::size_t pos, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) buf_[pos + i] = static_cast<std::uint8_t>(v >> (8 * i));
  }

 private:
  std::vector<std::uint8_t> buf_;
};

// Runs a codec body, turning any exception into an error value.
template <class F>
CodecResult runCodec(F&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return CodecResult::fail(CodecError::ceNoMemory, "out of memory");
  } catch (const std::exception& e) {
    return CodecResult::fail(CodecError::ceDamaged, e.what());
  } catch (...) {
    return CodecResult::fail(CodecError::ceDamaged, "unknown error");
  }
}

}  // namespace vorlino
