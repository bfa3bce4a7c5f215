// Reads the reference decodes (24-bit RGB PNG files) straight through libpng, so that the tests of
// the other decoders do not depend on the program's own PNG decoder.
#pragma once

#include <string>

#include "bitmap/bitmap.h"

namespace vorlino::test {

// The PNG at `path` as a 24-bit bitmap (alpha, if any, dropped); false when it cannot be read.
bool readReferencePng(const std::string& path, Bitmap& out);

// Largest difference of one channel between two 24-bit bitmaps of the same size, or -1 when the
// sizes differ. Other depths are converted to 24 bits first.
int maxChannelDifference(Bitmap a, Bitmap b);

}  // namespace vorlino::test
