#include "bitmap/huge_page_heap.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace vorlino {
namespace {

constexpr const char* kTunables = "GLIBC_TUNABLES";
constexpr const char* kHugeHeap = "glibc.malloc.hugetlb=1";

bool hugePagesOnlyWhenAsked() {
  std::ifstream in("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string modes;
  std::getline(in, modes);
  return modes.find("[madvise]") != std::string::npos;
}

}  // namespace

void restartWithHugePageHeap(char** argv) noexcept {
  try {
    if (const char* tunables = std::getenv(kTunables)) {
      // Either the user's own tunables, kept, or this program restarted with ours.
      if (std::strcmp(tunables, kHugeHeap) == 0) unsetenv(kTunables);
      return;
    }
    if (!hugePagesOnlyWhenAsked() || setenv(kTunables, kHugeHeap, 1) != 0) return;
    execv("/proc/self/exe", argv);
    unsetenv(kTunables);  // the restart failed: go on as we are
  } catch (...) {
  }
}

}  // namespace vorlino
