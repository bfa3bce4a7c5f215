// Colour values: 32 bits, 0x00BBGGRR (red in the lowest byte). A value with the high bit set is a
// symbolic system colour (its low byte is the system colour index); it keeps that form in the
// controls and is resolved with ColorToRGB before any pixel use.
#pragma once

#include <cstdint>

namespace vorlino {

using Color = std::uint32_t;

inline constexpr Color kNoColor = 0x1FFFFFFF;       // "no colour"
inline constexpr Color kTransparentKey = 14478798;  // 0x00DCEDCE: red 206, green 237, blue 220
inline constexpr Color kBlack = 0x000000;
inline constexpr Color kWhite = 0xFFFFFF;
inline constexpr Color kSystemColorFlag = 0x80000000;
inline constexpr int kSystemColorCount = 31;

constexpr std::uint8_t redOf(Color c) {
  return static_cast<std::uint8_t>(c);
}
constexpr std::uint8_t greenOf(Color c) {
  return static_cast<std::uint8_t>(c >> 8);
}
constexpr std::uint8_t blueOf(Color c) {
  return static_cast<std::uint8_t>(c >> 16);
}
constexpr Color rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return Color(r) | (Color(g) << 8) | (Color(b) << 16);
}
constexpr bool isSystemColor(Color c) {
  return (c & kSystemColorFlag) != 0;
}
constexpr Color systemColor(int index) {
  return kSystemColorFlag | Color(index);
}

// Resolves a symbolic system colour to a plain value through the system colour table; any other
// value is returned as it is (kNoColor included).
Color ColorToRGB(Color c);

// Fills one entry of the system colour table (index 0..kSystemColorCount-1). The table starts with
// the classic desktop defaults; the user interface replaces them from the platform palette once at
// start-up, before any pixel work.
void setSystemColor(int index, Color value);

}  // namespace vorlino
