// zlib inflation of one in-memory stream, for the decoders whose data is deflate-compressed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorlino {

// Inflates the zlib stream src[0..srcBytes) into exactly dstBytes bytes at dst. True when that
// many bytes came out; output beyond dstBytes is not produced. False on a damaged or short stream.
bool inflateInto(const std::uint8_t* src, std::size_t srcBytes, std::uint8_t* dst,
                 std::size_t dstBytes);

// Most bytes that deflate can make out of one input byte (its longest match costs ~1 bit per
// 258 bytes), for checking a claimed size against the compressed data before allocating.
constexpr std::size_t kMaxInflateRatio = 1032;

}  // namespace vorlino
