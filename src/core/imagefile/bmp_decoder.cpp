// Windows and OS/2 bitmaps (.bmp, .rle, .dib).
//
// Reads files with the 14-byte "BM" header and packed DIBs that start directly with the info header
// (clipboard and resource dumps saved as .dib). Info headers: OS/2 1.x (12 bytes, 3-byte palette
// entries), OS/2 2.x (16 to 64 bytes), Windows 3.x (40) and its extensions (52, 56, v4 108, v5
// 124). Pixels: 1, 2, 4, 8 bits with palette; 16 and 32 bits plain or with bit fields (also the
// masks of BI_ALPHABITFIELDS); 24 bits; RLE8 and RLE4 with deltas, line and bitmap ends; bottom-up
// and top-down rows. Not read: embedded JPEG/PNG, OS/2 Huffman and RLE24, 64-bit pixels.
#include "imagefile/decoders.h"
#include "imagefile/rows/dib_reader.h"

namespace vorlino {

CodecResult readBmp(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  return runCodec([&] {
    DibLayout layout;
    const std::size_t start = in.position();
    if (in.remaining() >= 2 && in.data()[start] == 'B' && in.data()[start + 1] == 'M') {
      in.skip(10);
      layout.pixelOffset = start + in.u32le();
    } else {
      // A packed DIB starts with the size of one of the published info headers.
      const std::uint32_t size = in.u32le();
      in.seek(start);
      if (size != 12 && size != 16 && size != 40 && size != 52 && size != 56 && size != 64 &&
          size != 108 && size != 124)
        return CodecResult::fail(CodecError::ceSignature, "not a Windows bitmap");
    }
    return readDib(in, layout, out, limits);
  });
}

}  // namespace vorlino
