#include <malloc.h>

#include <iostream>

#include "cli_app.h"

int main(int argc, char** argv) {
  // Blocks under 32 MiB from the heap (the most the allocator would come to by itself, after
  // freeing such blocks), and the heap kept when they are freed: the next photo's buffers reuse
  // its pages instead of faulting in fresh ones (about 11 us a page on a virtual machine; half of
  // a folder's page faults). Pixel blocks from a megabyte up have their own huge pages (see
  // bitmap/bitmap.h).
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  return vorlino::cli::run(argc, argv, std::cout, std::cerr);
}
