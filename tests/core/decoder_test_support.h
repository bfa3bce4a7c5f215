// Decoding helpers of the decoder tests built on hand-made files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "imagefile/decoders.h"

namespace vorlino::test {

using Bytes = std::vector<std::uint8_t>;
using Reader = CodecResult (*)(ByteReader&, Bitmap&, const DecodeLimits&) noexcept;

inline Bitmap decodeOk(Reader read, const Bytes& bytes, const std::string& name = {}) {
  ByteReader in(bytes);
  in.setFileName(name);
  Bitmap out;
  const CodecResult r = read(in, out, DecodeLimits{});
  EXPECT_TRUE(r.ok()) << r.detail;
  return out;
}

inline CodecResult decodeBytes(Reader read, const Bytes& bytes, Bitmap& out) {
  ByteReader in(bytes);
  return read(in, out, DecodeLimits{});
}

inline bool decodes(Reader read, const Bytes& bytes) {
  ByteReader in(bytes);
  Bitmap out;
  return read(in, out, DecodeLimits{}).ok();
}

}  // namespace vorlino::test
