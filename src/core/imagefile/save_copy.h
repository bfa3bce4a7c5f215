// The copy of the working bitmap that "Enregistrer sous..." hands to the writers: a transparent
// result is reduced to an 8-bit palette holding its key colour, so that GIF and PNG keep the
// transparency; the working bitmap itself is never reduced or converted by saving.
#pragma once

#include <string>

#include "bitmap/bitmap.h"

namespace vorlino {

// A copy of working, reduced to 256 colours (options 66) when working is a transparent result.
Bitmap MakeSaveCopy(const Bitmap& working);

// The same change made in place, for a picture that is not needed after saving (a batch photo, the
// result of a command): no copy of a large bitmap.
void MakeSaveReady(Bitmap& picture);

// name with its extension replaced by ".gif" (or ".gif" appended when it has none); empty stays
// empty. The extension proposed for a transparent result.
std::string withGifExtension(const std::string& name);

// name with its extension replaced by ".png", as withGifExtension: the extension proposed for a
// picture with an alpha channel.
std::string withPngExtension(const std::string& name);

}  // namespace vorlino
