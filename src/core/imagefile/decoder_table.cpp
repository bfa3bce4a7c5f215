// Maps each decoder kind of the registry to its function. Formats whose decoder this build does not
// have point at readNotYetAvailable, so that such a file fails like any unreadable one.
#include <array>

#include "imagefile/decoder_kind.h"
#include "imagefile/photo_formats.h"

namespace vorlino {
namespace {

DecoderFunction gMetafileDecoder = nullptr;

constexpr std::array<DecoderInfo, 22> kDecoders = {{
    {readBmp, false},      // dkBitmap
    {readIco, true},       // dkIcon
    {readMetafile, true},  // dkMetafile
    {readJpeg, false},     // dkJpeg
    {readTarga, false},    // dkTarga
    {readTiff, false},     // dkTiff
    {readEps, false},      // dkEps
    {readPcx, false},      // dkPaintbrush
    {readRla, false},      // dkAliasWavefront
    {readSgi, false},      // dkSgi
    {readPsd, false},      // dkPhotoshop
    {readPnm, false},      // dkPortableMap
    {readCel, false},      // dkAutodesk
    {readPcd, false},      // dkPhotoCd
    {readCut, false},      // dkDrHalo
    {readPsp, false},      // dkPaintShopPro
    {readPng, false},      // dkPng
    {readGif, false},      // dkGif
    {readHeif, false},     // dkHeif
    {readHeif, false},     // dkAvif
    {readWebp, false},     // dkWebp
    {readJxl, false},      // dkJxl
}};
static_assert(kDecoders.size() == static_cast<std::size_t>(DecoderKind::dkJxl) + 1);

}  // namespace

DecoderInfo decoderInfo(DecoderKind kind) {
  return kDecoders[static_cast<std::size_t>(kind)];
}

bool decoderAvailable(DecoderKind kind) {
  if (kind == DecoderKind::dkMetafile) return gMetafileDecoder != nullptr;
  return decoderInfo(kind).read != readNotYetAvailable;
}

void setMetafileDecoder(DecoderFunction render) {
  gMetafileDecoder = render;
}

CodecResult readMetafile(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  if (!gMetafileDecoder)
    return CodecResult::fail(CodecError::ceUnsupported, "no metafile renderer installed");
  return runCodec([&] { return gMetafileDecoder(in, out, limits); });
}

CodecResult readNotYetAvailable(ByteReader&, Bitmap&, const DecodeLimits&) noexcept {
  return CodecResult::fail(CodecError::ceUnsupported, "no decoder for this format in this build");
}

}  // namespace vorlino
