#include "imagefile/deflate/inflate_buffer.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace vorlino {

namespace {

// Owns an inflate stream for the length of one call.
class InflateStream {
 public:
  InflateStream() { ok_ = inflateInit(&z_) == Z_OK; }
  ~InflateStream() {
    if (ok_) inflateEnd(&z_);
  }
  InflateStream(const InflateStream&) = delete;
  InflateStream& operator=(const InflateStream&) = delete;
  bool ok() const { return ok_; }
  z_stream& get() { return z_; }

 private:
  z_stream z_{};
  bool ok_ = false;
};

}  // namespace

bool inflateInto(const std::uint8_t* src, std::size_t srcBytes, std::uint8_t* dst,
                 std::size_t dstBytes) {
  InflateStream stream;
  if (!stream.ok()) return false;
  z_stream& z = stream.get();
  constexpr std::size_t kChunk = std::numeric_limits<uInt>::max();
  z.next_in = const_cast<Bytef*>(src);
  z.next_out = dst;
  std::size_t inLeft = srcBytes, outLeft = dstBytes;
  while (outLeft > 0) {
    if (z.avail_in == 0) {
      z.avail_in = static_cast<uInt>(std::min(inLeft, kChunk));
      inLeft -= z.avail_in;
    }
    z.avail_out = static_cast<uInt>(std::min(outLeft, kChunk));
    const uInt before = z.avail_out;
    const int rc = inflate(&z, Z_NO_FLUSH);
    outLeft -= before - z.avail_out;
    if (rc == Z_STREAM_END) break;
    if (rc != Z_OK && !(rc == Z_BUF_ERROR && outLeft == 0)) return false;
    if (rc == Z_OK && z.avail_in == 0 && inLeft == 0 && outLeft > 0 && before == z.avail_out)
      return false;
  }
  return outLeft == 0;
}

}  // namespace vorlino
