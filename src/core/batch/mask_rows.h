// The mask bitmap of BuildMaskBitmap made one row at a time, top to bottom, for a photo that is
// framed as a stream of rows. The mask picture is grey (its three bytes equal, as the program
// keeps it), so every step works on one byte per pixel and the mask's mean is that byte; the
// rows are those of the whole-picture mask, byte for byte:
// - fit: the Lanczos 3 horizontal pass makes intermediate rows only when the vertical pass first
//   needs them and drops them after their last use, so a window of rows is held, not the image;
//   then near-white to white;
// - tile: rows of the picture repeated;
// - soften (twice): each pass needs its own previous output row and the next input row;
// - two tones.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "bitmap/bitmap.h"
#include "compose/mask_build.h"

namespace vorlino {

// True when every pixel of the 24-bit picture has three equal bytes.
bool isGreyPicture(const Bitmap& picture);

class MaskRows {
 public:
  // picture: grey and 24-bit (see isGreyPicture); width, height: the photo's size, above 0.
  MaskRows(const Bitmap& picture, int width, int height, const MaskOptions& options);
  ~MaskRows();
  MaskRows(const MaskRows&) = delete;
  MaskRows& operator=(const MaskRows&) = delete;

  // The next row of the mask: width bytes, valid until the next call. Rows come from 0 to
  // height - 1; std::bad_alloc when memory runs out.
  const std::uint8_t* next();

  class Stage;

 private:
  std::vector<std::unique_ptr<Stage>> stages_;  // the last one gives the rows
};

// Every row of one mask, width bytes each, kept so that the next photos of the same size and
// options read their mask instead of making it again: for a folder of one camera's photos, the
// fit is made once. The bytes live in huge pages where they can, since faulting in small pages
// costs about as much as making the rows.
class KeptMaskRows {
 public:
  // The bytes are unspecified until written; std::bad_alloc when memory runs out.
  KeptMaskRows(int width, int height);
  int width() const { return width_; }
  int height() const { return height_; }
  std::uint8_t* row(int y) { return bytes_.data() + static_cast<std::size_t>(y) * width_; }
  const std::uint8_t* row(int y) const {
    return bytes_.data() + static_cast<std::size_t>(y) * width_;
  }

 private:
  int width_;
  int height_;
  PixelBuffer bytes_;
};

}  // namespace vorlino
