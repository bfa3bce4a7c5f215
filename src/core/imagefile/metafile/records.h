// Record walkers of Windows metafiles (WMF, placeable or not) and enhanced metafiles (EMF).
//
// A picture is played in two steps: measure...() reads the header and works out the natural
// size in pixels (96 per inch) and the mapping onto it; play...() walks the records and draws
// them on a MetafileCanvas of that size. Neither allocates pixels, so they run without a screen.
//
// Natural size:
//   - placeable WMF: the bounding box of the placeable header, in its units per inch, at 96 dpi;
//   - plain WMF: the window extent (SetWindowExt) at one unit per pixel; a file that sets none
//     gets the bounding box of what it draws, one unit per pixel;
//   - EMF: the picture frame of the header (rclFrame, hundredths of a millimetre) at 96 dpi.
// Sizes are rounded to the nearest pixel, halves to even.
//
// Damage: a header that is not one of these formats, or claims more bytes than the file holds,
// fails. A record whose size runs past the end of the file, or is too small to be a record, ends
// the playing; what was drawn until then stays. Any count inside a record that exceeds the
// record's bytes makes that record skipped.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imagefile/codec.h"
#include "imagefile/metafile/canvas.h"
#include "imagefile/metafile/gdi_state.h"

namespace vorlino {

struct MetafileLayout {
  int width = 0;
  int height = 0;
  // WMF: the window and viewport the picture starts with (the viewport is the output picture,
  // shifted when the size came from the drawing's own extent).
  MfPoint windowOrg{0, 0};
  MfPoint windowExt{1, 1};
  MfPoint viewportOrg{0, 0};
  MfPoint viewportExt{1, 1};
  // EMF: reference device pixels to output pixels, and the device's pixels per millimetre.
  MfAffine deviceToOutput;
  double devicePerMmX = 96.0 / 25.4;
  double devicePerMmY = 96.0 / 25.4;
};

// Placeable WMF files start with this key.
constexpr std::uint32_t kPlaceableWmfKey = 0x9AC6CDD7;

// Reads the header of the WMF in `in` (from its current position to its end) and sets layout.
// Fails with ceSignature when it is not a WMF, ceDamaged for an inconsistent header, and
// ceTooLarge when the natural size exceeds the limits or 16384 pixels on a side.
CodecResult measureWmf(const ByteReader& in, MetafileLayout& layout, const DecodeLimits& limits);
// Draws the records of the WMF on canvas. Fails only when the header does.
CodecResult playWmf(const ByteReader& in, const MetafileLayout& layout, MetafileCanvas& canvas,
                    const DecodeLimits& limits);

CodecResult measureEmf(const ByteReader& in, MetafileLayout& layout, const DecodeLimits& limits);
CodecResult playEmf(const ByteReader& in, const MetafileLayout& layout, MetafileCanvas& canvas,
                    const DecodeLimits& limits);

// The largest side of a rendered metafile.
constexpr int kMaxMetafileSide = 16384;

// Checks a natural size against kMaxMetafileSide and the limits.
CodecResult checkMetafileSize(double width, double height, const DecodeLimits& limits,
                              MetafileLayout& layout);

}  // namespace vorlino
