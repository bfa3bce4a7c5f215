// The decoders that the format registry can name, and the function behind each.
#pragma once

#include "imagefile/decoders.h"

namespace vorlino {

enum class DecoderKind {
  dkBitmap,
  dkIcon,
  dkMetafile,
  dkJpeg,
  dkTarga,
  dkTiff,
  dkEps,
  dkPaintbrush,
  dkAliasWavefront,
  dkSgi,
  dkPhotoshop,
  dkPortableMap,
  dkAutodesk,
  dkPhotoCd,
  dkDrHalo,
  dkPaintShopPro,
  dkPng,
  dkGif,
  dkHeif,
  dkAvif,
  dkWebp,
  dkJxl,
};

struct DecoderInfo {
  DecoderFunction read;
  // Icons and metafiles are drawn onto a white picture of their size instead of being assigned.
  bool rendered;
};

// The function and handling of one decoder kind.
DecoderInfo decoderInfo(DecoderKind kind);
// True when the decoder of that kind is part of this build.
bool decoderAvailable(DecoderKind kind);

}  // namespace vorlino
