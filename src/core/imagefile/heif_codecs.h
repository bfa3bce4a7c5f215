// The HEVC and AV1 decoders libheif uses here: libde265 and dav1d driven by our own libheif
// plugins, registered once per process ahead of the system's.
//
// A HEIF file states the picture's size in its container, but the coded stream inside states its
// own, and the codecs allocate what the stream asks for: a 1.5 KB file could make the AV1 decoder
// take gigabytes and seconds. Our plugins refuse every coded frame larger than the frame limit of
// the decodes in flight, before the codec allocates it, and charge each frame to a budget of
// pixels, so a grid whose tiles all point at one huge frame fails fast too. libde265 also decodes
// on worker threads.
#pragma once

#include <cstdint>

namespace vorlino {

// Registers the plugins (first call only; later calls do nothing).
void registerHeifCodecs() noexcept;

// While a HeifFrameBudget lives, each coded frame may hold at most `frameLimit` pixels and all
// the frames decoded together at most `totalPixels`. Budgets of decodes running at the same time
// on other threads add up; the frame limit is the strictest of them.
class HeifFrameBudget {
 public:
  HeifFrameBudget(std::uint64_t frameLimit, std::uint64_t totalPixels) noexcept;
  ~HeifFrameBudget();
  HeifFrameBudget(const HeifFrameBudget&) = delete;
  HeifFrameBudget& operator=(const HeifFrameBudget&) = delete;
};

}  // namespace vorlino
