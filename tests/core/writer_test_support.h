// Helpers for the writer tests: reading little- and big-endian fields, and independent readers
// (Pillow through Debian's Python, ImageMagick) to decode what the writers produce.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "imagefile/codec.h"
#include "test_support.h"

namespace vorlino::test {

inline std::uint32_t le16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b.at(at) | (std::uint32_t{b.at(at + 1)} << 8);
}
inline std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return le16(b, at) | (le16(b, at + 2) << 16);
}
inline std::uint32_t be32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return (std::uint32_t{b.at(at)} << 24) | (std::uint32_t{b.at(at + 1)} << 16) |
         (std::uint32_t{b.at(at + 2)} << 8) | b.at(at + 3);
}

// What the independent reader saw.
struct DecodedImage {
  std::string format;  // Pillow's format name: "PNG", "GIF", "TGA"...
  std::string mode;    // "RGB", "P", "L"...
  int width = 0, height = 0;
  std::string transparency;  // "-" when none; an index, or hex alpha bytes for PNG tRNS
  bool progressive = false;
  std::vector<std::uint8_t> rgb;  // width * height * 3, red first, top row first

  // Colour of one pixel as 0x00BBGGRR.
  Color at(int x, int y) const {
    const std::size_t i = 3 * (static_cast<std::size_t>(y) * width + x);
    return vorlino::rgb(rgb.at(i), rgb.at(i + 1), rgb.at(i + 2));
  }
};

inline constexpr const char* kPython = "/usr/bin/python3";

inline bool pillowAvailable() {
  static const bool available =
      ::access(kPython, X_OK) == 0 &&
      std::system((std::string(kPython) + " -c 'import PIL.Image' >/dev/null 2>&1").c_str()) == 0;
  return available;
}

#define VORLINO_REQUIRE_PILLOW()           \
  if (!::vorlino::test::pillowAvailable()) \
  GTEST_SKIP() << "independent reader missing: /usr/bin/python3 with Pillow (python3-pil)"

// Decodes path with Pillow; nothing when it cannot read it.
inline std::optional<DecodedImage> readWithPillow(const std::string& path) {
  const std::string out = path + ".decoded";
  const std::string script =
      "import sys\n"
      "from PIL import Image\n"
      "im = Image.open(sys.argv[1]); im.load()\n"
      "t = im.info.get('transparency')\n"
      "t = '-' if t is None else (t.hex() if isinstance(t, bytes) else str(t))\n"
      "p = 1 if im.info.get('progressive') or im.info.get('progression') else 0\n"
      "head = '%s %s %d %d %s %d\\n' % (im.format, im.mode, im.size[0], im.size[1], t, p)\n"
      "open(sys.argv[2], 'wb').write(head.encode() + im.convert('RGB').tobytes())\n";
  const std::string scriptPath = path + ".py";
  {
    std::ofstream s(scriptPath);
    s << script;
  }
  const std::string command =
      std::string(kPython) + " '" + scriptPath + "' '" + path + "' '" + out + "' >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  std::remove(scriptPath.c_str());
  if (status != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes = readFileBytes(out);
  std::remove(out.c_str());
  auto newline = std::find(bytes.begin(), bytes.end(), '\n');
  if (newline == bytes.end()) return std::nullopt;
  DecodedImage image;
  int progressive = 0;
  std::istringstream head(std::string(bytes.begin(), newline));
  head >> image.format >> image.mode >> image.width >> image.height >> image.transparency >>
      progressive;
  image.progressive = progressive != 0;
  image.rgb.assign(newline + 1, bytes.end());
  if (image.rgb.size() != 3 * static_cast<std::size_t>(image.width) * image.height)
    return std::nullopt;
  return image;
}

inline constexpr const char* kImageMagick = "/usr/bin/convert";

inline bool imageMagickAvailable() {
  return ::access(kImageMagick, X_OK) == 0;
}

// Decodes path with ImageMagick into raw RGB (top row first); nothing when it fails.
inline std::optional<std::vector<std::uint8_t>> readWithImageMagick(const std::string& path) {
  const std::string out = path + ".rgb";
  const std::string command =
      std::string(kImageMagick) + " '" + path + "' -depth 8 'rgb:" + out + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes = readFileBytes(out);
  std::remove(out.c_str());
  return bytes;
}

// Writes bytes to a file in folder and decodes it with Pillow.
inline std::optional<DecodedImage> decodeBytes(const ScratchFolder& folder, const std::string& name,
                                               const ByteWriter& bytes) {
  const std::string path = folder.file(name);
  writeFileBytes(path, bytes.bytes());
  return readWithPillow(path);
}

// The bitmap's pixels as RGB bytes, top row first, palette resolved: what a reader must give.
inline std::vector<std::uint8_t> expectedRgb(const Bitmap& b) {
  std::vector<std::uint8_t> rgb;
  rgb.reserve(3 * static_cast<std::size_t>(b.width()) * b.height());
  for (int y = 0; y < b.height(); ++y)
    for (int x = 0; x < b.width(); ++x) {
      const Color c = b.pixel(x, y);
      rgb.push_back(redOf(c));
      rgb.push_back(greenOf(c));
      rgb.push_back(blueOf(c));
    }
  return rgb;
}

}  // namespace vorlino::test
