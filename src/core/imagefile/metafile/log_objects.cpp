#include "imagefile/metafile/log_objects.h"

#include <algorithm>

namespace vorlino {

namespace {

// One UTF-16 unit (or Latin-1 byte) as UTF-8; surrogates are written as they stand.
void appendUtf8(std::string& out, unsigned c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

MfPenStyle penStyleOf(std::uint32_t style) {
  switch (style & 0xF) {
    case 1:
      return MfPenStyle::psDash;
    case 2:
      return MfPenStyle::psDot;
    case 3:
      return MfPenStyle::psDashDot;
    case 4:
      return MfPenStyle::psDashDotDot;
    case 5:
      return MfPenStyle::psNull;
    case 8:
      return MfPenStyle::psDot;  // alternate pixels
    default:
      return MfPenStyle::psSolid;
  }
}

void setPenEnds(std::uint32_t style, GdiPen& pen) {
  switch (style & 0xF00) {
    case 0x100:
      pen.cap = MfLineCap::lcSquare;
      break;
    case 0x200:
      pen.cap = MfLineCap::lcFlat;
      break;
    default:
      break;
  }
  switch (style & 0xF000) {
    case 0x1000:
      pen.join = MfLineJoin::ljBevel;
      break;
    case 0x2000:
      pen.join = MfLineJoin::ljMiter;
      break;
    default:
      break;
  }
}

MfBrush logBrush(std::uint32_t style, std::uint32_t color, std::uint32_t hatch) {
  MfBrush brush;
  brush.color = color & 0xFFFFFF;
  if (style == 1) {
    brush.kind = MfBrushKind::bkNull;
  } else if (style == 2) {
    brush.kind = MfBrushKind::bkHatched;
    brush.hatch = static_cast<MfHatch>(std::min<std::uint32_t>(hatch, 5));
  }
  return brush;
}

std::string faceNameFromBytes(const std::uint8_t* p, std::size_t maxChars) {
  std::string face;
  for (std::size_t i = 0; i < maxChars && p[i] != 0; ++i) appendUtf8(face, p[i]);
  return face;
}

std::string faceNameFromUtf16(const std::uint8_t* p, std::size_t maxUnits) {
  std::string face;
  for (std::size_t i = 0; i < maxUnits; ++i) {
    const unsigned c = static_cast<unsigned>(p[2 * i] | (p[2 * i + 1] << 8));
    if (c == 0) break;
    appendUtf8(face, c);
  }
  return face;
}

}  // namespace vorlino
