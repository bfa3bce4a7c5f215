#include "compose/pixel_blocks.h"

#include <atomic>
#include <stdexcept>
#include <string>

namespace vorlino::blocks {
namespace {

bool cpuHasAvx2() {
#if VORLINO_HAVE_AVX2_BUILD
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

std::atomic<bool> gAvx2Allowed{true};

}  // namespace

bool useAvx2() {
  static const bool hasAvx2 = cpuHasAvx2();
  return hasAvx2 && gAvx2Allowed.load(std::memory_order_relaxed);
}

void allowAvx2(bool allowed) {
  gAvx2Allowed.store(allowed, std::memory_order_relaxed);
}

void require24(const Bitmap& bitmap, const char* operation) {
  if (bitmap.bitsPerPixel() != 24)
    throw std::invalid_argument(std::string(operation) + ": 24-bit bitmap expected");
}

}  // namespace vorlino::blocks
