// Binary EPS reader: the TIFF preview that a binary EPS file carries.
//
// The file starts with C5 D0 D3 C6, then little-endian 32-bit offsets and lengths of the
// PostScript section, a WMF preview and a TIFF preview (bytes 20..27). Only the TIFF preview is
// read, through the TIFF reader; the PostScript is never interpreted, so a file without a TIFF
// preview (plain-text EPS included) fails.
#include "imagefile/decoders.h"

namespace vorlino {

CodecResult readEps(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  return runCodec([&]() -> CodecResult {
    ByteReader header(in.data(), in.size());
    if (header.u32be() != 0xC5D0D3C6u)
      return CodecResult::fail(CodecError::ceSignature, "not a binary EPS file");
    header.seek(20);
    const std::uint32_t offset = header.u32le();
    const std::uint32_t length = header.u32le();
    if (header.truncated()) return CodecResult::fail(CodecError::ceDamaged, "short header");
    if (offset == 0 || length == 0)
      return CodecResult::fail(CodecError::ceUnsupported, "no TIFF preview");
    if (offset > in.size() || length > in.size() - offset)
      return CodecResult::fail(CodecError::ceDamaged, "TIFF preview past the end of the file");
    ByteReader preview(in.data() + offset, length);
    preview.setFileName(in.fileName());
    return readTiff(preview, out, limits);
  });
}

}  // namespace vorlino
