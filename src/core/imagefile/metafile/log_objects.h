// Decoding of the logical pens, brushes and fonts that both metafile formats store with the same
// fields: pen style bits, brush style and hatch, and face names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "imagefile/metafile/gdi_state.h"

namespace vorlino {

// The dash pattern of a pen style (PS_SOLID ... PS_ALTERNATE in the low four bits).
MfPenStyle penStyleOf(std::uint32_t style);

// Sets the end caps (PS_ENDCAP_*) and joins (PS_JOIN_*) that a geometric pen's style bits ask
// for; the defaults (round) stay otherwise.
void setPenEnds(std::uint32_t style, GdiPen& pen);

// A logical brush: style 1 is null, 2 hatched (hatch clamped to the six known ones); any other
// style paints solid in the colour, pattern styles included, since they carry no bitmap here.
MfBrush logBrush(std::uint32_t style, std::uint32_t color, std::uint32_t hatch);

// Face names of logical fonts, up to `maxChars` characters ended by the first 0, to UTF-8: bytes
// of the system code page (read as Latin-1), or UTF-16 units (little-endian).
std::string faceNameFromBytes(const std::uint8_t* p, std::size_t maxChars);
std::string faceNameFromUtf16(const std::uint8_t* p, std::size_t maxUnits);

}  // namespace vorlino
