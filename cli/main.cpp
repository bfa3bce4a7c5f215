#include <malloc.h>

#include <iostream>

#include "cli_app.h"

int main(int argc, char** argv) {
  // Blocks under a megabyte from the heap, and the heap kept when they are freed: the next photo's
  // buffers reuse its pages instead of faulting in fresh ones (about 11 us a page on a virtual
  // machine; half of a folder's page faults). Pixel blocks from a megabyte up have their own
  // huge pages (see bitmap/bitmap.h).
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  return vorlino::cli::run(argc, argv, std::cout, std::cerr);
}
