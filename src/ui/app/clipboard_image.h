// The working bitmap as the clipboard carries it: a QImage each way.
#pragma once

#include <QImage>

#include "bitmap/bitmap.h"

namespace vorlino {

// A deep copy of bitmap in Format_RGB32 (palette resolved); null for an empty bitmap.
QImage BitmapToClipboardImage(const Bitmap& bitmap);

// A 24-bit bitmap of image. Pixels that are not fully opaque are laid over white, as a picture
// without transparency shows them; the result is not flagged transparent. Empty for a null image.
Bitmap ClipboardImageToBitmap(const QImage& image);

}  // namespace vorlino
