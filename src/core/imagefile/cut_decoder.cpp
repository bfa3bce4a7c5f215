// Dr. Halo CUT decoder.
//
// Reads the 6-byte header (width, height, a reserved word) and one run-length coded row of 8-bit
// indices after another, each behind its byte count. The colours come from the Dr. Halo palette
// file of the same name with the extension ".pal", found in the picture's folder without regard to
// letter case: a 40-byte header (identifier "AH", the largest index and the largest value of each
// component) and 16-bit red, green, blue triples that never straddle its 512-byte blocks. Without
// such a file, or when it is not a palette of that kind, index n is shown as the grey n.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "bitmap/checked.h"
#include "imagefile/decoders.h"
#include "imagefile/rows/pixel_rows.h"
#include "imagefile/rows/run_length.h"

namespace vorlino {

namespace {

constexpr std::uintmax_t kMaxPaletteFileBytes = 64 * 1024;  // 256 triples take under 2 KiB
constexpr std::size_t kPaletteHeaderBytes = 40;
constexpr std::size_t kPaletteBlockBytes = 512;

bool sameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// The palette file beside the picture, when there is one.
std::optional<std::filesystem::path> findPaletteFile(const std::string& pictureName) {
  namespace fs = std::filesystem;
  if (pictureName.empty()) return std::nullopt;
  const fs::path picture(pictureName);
  const std::string wanted = picture.stem().string() + ".pal";
  const fs::path folder = picture.has_parent_path() ? picture.parent_path() : fs::path(".");
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (sameIgnoringCase(it->path().filename().string(), wanted) && it->is_regular_file(ec))
      return it->path();
  }
  return std::nullopt;
}

// Reads a Dr. Halo palette file; nothing when it cannot be read or is not one.
std::optional<std::vector<PaletteColor>> readHaloPalette(const std::filesystem::path& path) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec || size < kPaletteHeaderBytes || size > kMaxPaletteFileBytes) return std::nullopt;
  std::ifstream file(path, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
  ByteReader in(bytes);
  if (in.u8() != 'A' || in.u8() != 'H') return std::nullopt;
  in.seek(12);
  const std::size_t entries = std::min<std::size_t>(std::size_t{in.u16le()} + 1, 256);
  unsigned top[3];
  for (auto& t : top) t = in.u16le();
  in.seek(kPaletteHeaderBytes);
  std::vector<PaletteColor> palette(256);
  for (std::size_t i = 0; i < entries; ++i) {
    if (in.position() % kPaletteBlockBytes + 6 > kPaletteBlockBytes)
      in.seek((in.position() / kPaletteBlockBytes + 1) * kPaletteBlockBytes);
    std::uint8_t rgb[3];
    for (int k = 0; k < 3; ++k) {
      const unsigned v = in.u16le();
      const unsigned t = top[k] ? top[k] : 255;
      rgb[k] = static_cast<std::uint8_t>(std::min(v, t) * 255 / t);
    }
    palette[i] = {rgb[2], rgb[1], rgb[0], 0};
  }
  if (in.truncated()) return std::nullopt;
  return palette;
}

CodecResult decodeCut(ByteReader& in, Bitmap& out, const DecodeLimits& limits) {
  const int width = in.u16le();
  const int height = in.u16le();
  in.skip(2);
  if (in.truncated()) return CodecResult::fail(CodecError::ceDamaged, "short header");
  if (auto r = checkDimensions(static_cast<std::uint64_t>(width),
                               static_cast<std::uint64_t>(height), limits);
      !r.ok())
    return r;
  // Each row costs at least its count word and an end code (a row may end early: the rest is 0).
  if (static_cast<std::size_t>(height) > in.remaining() / 3)
    return CodecResult::fail(CodecError::ceDamaged, "file too short");

  Bitmap bmp;
  bmp.reset(width, height, 8);
  const auto paletteFile = findPaletteFile(in.fileName());
  const auto palette = paletteFile ? readHaloPalette(*paletteFile) : std::nullopt;
  bmp.palette() = palette ? *palette : greyPalette(256);

  const std::size_t w = static_cast<std::size_t>(width);
  for (int y = 0; y < height; ++y) {
    const std::size_t length = in.u16le();
    const std::uint8_t* data = in.take(length);
    if (!data) return CodecResult::fail(CodecError::ceDamaged, "truncated row");
    ByteReader rowData(data, length);
    if (!RunDecoder(rowData, RunScheme::rsHalo).read(bmp.row(y), w))
      return CodecResult::fail(CodecError::ceDamaged, "short row");
  }
  out = std::move(bmp);
  return CodecResult::success();
}

}  // namespace

CodecResult readCut(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  return runCodec([&] { return decodeCut(in, out, limits); });
}

}  // namespace vorlino
