// Photoshop document decoder: the merged image only (layers are not read).
//
// Reads version 1 documents, raw or PackBits-coded, at 1 bit (bitmap mode), 8 or 16 bits per
// sample (16-bit samples keep their high byte), in the modes bitmap (a 1-bit bitmap, 1 = black),
// greyscale and duotone (an 8-bit grey palette bitmap; the duotone inks are not applied), indexed
// (an 8-bit palette bitmap), RGB, CMYK (inks stored inverted, converted without a colour profile)
// and Lab (D50, converted to sRGB). A channel beyond the colour channels is taken as alpha and
// gives a 32-bit bitmap. Not read: large documents (version 2), 32-bit samples, multichannel mode
// and zip-compressed image data.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "bitmap/checked.h"
#include "imagefile/decoders.h"
#include "imagefile/rows/pixel_rows.h"
#include "imagefile/rows/run_length.h"

namespace vorlino {

namespace {

enum PsdMode {
  pmBitmap = 0,
  pmGrey = 1,
  pmIndexed = 2,
  pmRgb = 3,
  pmCmyk = 4,
  pmDuotone = 8,
  pmLab = 9
};

std::uint8_t mulDiv255(unsigned a, unsigned b) {
  return static_cast<std::uint8_t>((a * b + 127) / 255);
}

// CIE L*a*b* (D50, 8-bit encoded) to sRGB, through XYZ and the Bradford-adapted sRGB matrix.
void labToBgr(std::uint8_t l8, std::uint8_t a8, std::uint8_t b8, std::uint8_t* bgr) {
  const double l = l8 * 100.0 / 255.0, a = a8 - 128.0, b = b8 - 128.0;
  const double fy = (l + 16.0) / 116.0, fx = fy + a / 500.0, fz = fy - b / 200.0;
  auto finv = [](double t) {
    return t > 6.0 / 29.0 ? t * t * t : 3.0 * (6.0 / 29.0) * (6.0 / 29.0) * (t - 4.0 / 29.0);
  };
  const double x = 0.9642 * finv(fx), y = finv(fy), z = 0.8249 * finv(fz);
  const double lin[3] = {3.1338561 * x - 1.6168667 * y - 0.4906146 * z,
                         -0.9787684 * x + 1.9161415 * y + 0.0334540 * z,
                         0.0719453 * x - 0.2289914 * y + 1.4052427 * z};
  for (int i = 0; i < 3; ++i) {
    const double v = std::clamp(lin[i], 0.0, 1.0);
    const double g = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055;
    bgr[2 - i] = static_cast<std::uint8_t>(std::lround(g * 255.0));
  }
}

CodecResult decodePsd(ByteReader& in, Bitmap& out, const DecodeLimits& limits) {
  if (in.u32be() != 0x38425053) return CodecResult::fail(CodecError::ceSignature, "not PSD");
  const int version = in.u16be();
  in.skip(6);
  const std::size_t channels = in.u16be();
  const std::size_t height = in.u32be();
  const std::size_t width = in.u32be();
  const int depth = in.u16be();
  const int mode = in.u16be();
  if (in.truncated()) return CodecResult::fail(CodecError::ceDamaged, "short header");
  if (version != 1) return CodecResult::fail(CodecError::ceUnsupported, "large document");
  if (channels < 1 || channels > 56)
    return CodecResult::fail(CodecError::ceDamaged, "channel count");
  if (depth != 1 && depth != 8 && depth != 16)
    return CodecResult::fail(CodecError::ceUnsupported, "sample depth");

  std::size_t colourChannels = 0;
  switch (mode) {
    case pmBitmap:
      colourChannels = depth == 1 ? 1 : 0;
      break;
    case pmGrey:
    case pmDuotone:
    case pmIndexed:
      colourChannels = depth == 1 ? 0 : 1;
      break;
    case pmRgb:
    case pmLab:
      colourChannels = depth == 1 ? 0 : 3;
      break;
    case pmCmyk:
      colourChannels = depth == 1 ? 0 : 4;
      break;
    default:
      return CodecResult::fail(CodecError::ceUnsupported, "colour mode");
  }
  if (colourChannels == 0 || channels < colourChannels)
    return CodecResult::fail(CodecError::ceDamaged, "mode and channels disagree");
  if (auto r = checkDimensions(width, height, limits); !r.ok()) return r;
  const bool alpha = channels > colourChannels && mode != pmBitmap && mode != pmIndexed;
  const std::size_t used = colourChannels + (alpha ? 1 : 0);

  // Colour mode data (the palette of an indexed document), image resources, layers: only the
  // palette is needed.
  const std::size_t colourDataLength = in.u32be();
  const std::size_t colourData = in.position();
  in.skip(colourDataLength);
  in.skip(in.u32be());
  in.skip(in.u32be());
  const int compression = in.u16be();
  if (in.truncated()) return CodecResult::fail(CodecError::ceDamaged, "truncated sections");
  if (mode == pmIndexed && colourDataLength < 768)
    return CodecResult::fail(CodecError::ceDamaged, "no palette");
  if (compression > 1) return CodecResult::fail(CodecError::ceUnsupported, "zip compression");

  const std::size_t rowBytes =
      depth == 1 ? (width + 7) / 8 : width * static_cast<std::size_t>(depth / 8);
  const std::size_t rows = channels * height;  // all channels, one after another
  const std::size_t dataStart = in.position();
  // The file must hold the rows before their tables are made: a header of a few bytes can claim
  // a million rows.
  if (compression == 0) {
    const auto bytes = checkedMul(rowBytes, used * height);
    if (!bytes || *bytes > in.remaining())
      return CodecResult::fail(CodecError::ceDamaged, "file too short");
  } else {
    // A table of coded row lengths for every row of every channel comes first. The rows follow
    // one another, so the file must also hold the fewest bytes that code them all.
    const auto least =
        checkedMul(RunDecoder::minimumBytes(rowBytes, RunScheme::rsPackBits), used * height);
    if (rows > in.remaining() / 2 || !least || *least > in.remaining())
      return CodecResult::fail(CodecError::ceDamaged, "file too short");
  }
  std::vector<std::size_t> rowStart(used * height);
  std::vector<std::size_t> rowLength(used * height, rowBytes);
  if (compression == 0) {
    for (std::size_t i = 0; i < rowStart.size(); ++i) rowStart[i] = dataStart + i * rowBytes;
  } else {
    std::size_t at = dataStart + 2 * rows;
    for (std::size_t i = 0; i < rows; ++i) {
      const std::size_t length = in.u16be();
      if (i < rowStart.size()) {
        rowStart[i] = at;
        rowLength[i] = length;
      }
      at += length;
    }
    if (rowStart.back() + rowLength.back() > in.size())
      return CodecResult::fail(CodecError::ceDamaged, "file too short");
  }

  const int outBits = mode == pmBitmap ? 1 : colourChannels == 1 && !alpha ? 8 : alpha ? 32 : 24;
  Bitmap bmp;
  bmp.reset(static_cast<int>(width), static_cast<int>(height), outBits);
  if (mode == pmBitmap) {
    bmp.palette() = {{255, 255, 255, 0}, {0, 0, 0, 0}};
  } else if (mode == pmIndexed) {
    const std::uint8_t* p = in.data() + colourData;
    for (std::size_t i = 0; i < 256; ++i) bmp.palette()[i] = {p[512 + i], p[256 + i], p[i], 0};
  } else if (outBits == 8) {
    bmp.palette() = greyPalette(256);
  }

  std::vector<std::uint8_t> coded(rowBytes);
  std::vector<std::vector<std::uint8_t>> planes(used, std::vector<std::uint8_t>(rowBytes));
  const int pixelBytes = outBits / 8;
  for (std::size_t y = 0; y < height; ++y) {
    for (std::size_t c = 0; c < used; ++c) {
      const std::size_t i = c * height + y;
      ByteReader rowData(in.data() + rowStart[i], rowLength[i]);
      const bool got =
          compression == 0
              ? rowData.read(coded.data(), rowBytes)
              : RunDecoder(rowData, RunScheme::rsPackBits).read(coded.data(), rowBytes);
      if (!got) return CodecResult::fail(CodecError::ceDamaged, "truncated row");
      if (depth == 16)
        highBytesBE(coded.data(), width, planes[c].data());
      else
        std::memcpy(planes[c].data(), coded.data(), rowBytes);
    }
    std::uint8_t* row = bmp.row(static_cast<int>(y));
    if (outBits <= 8) {
      std::memcpy(row, planes[0].data(), outBits == 1 ? rowBytes : width);
      continue;
    }
    const std::uint8_t* a = alpha ? planes[colourChannels].data() : nullptr;
    for (std::size_t x = 0; x < width; ++x) {
      std::uint8_t* px = row + x * static_cast<std::size_t>(pixelBytes);
      switch (mode) {
        case pmGrey:
        case pmDuotone:
          px[0] = px[1] = px[2] = planes[0][x];
          break;
        case pmRgb:
          px[0] = planes[2][x], px[1] = planes[1][x], px[2] = planes[0][x];
          break;
        case pmCmyk: {
          // Stored inverted: 255 is no ink.
          const unsigned k = planes[3][x];
          px[0] = mulDiv255(planes[2][x], k), px[1] = mulDiv255(planes[1][x], k),
          px[2] = mulDiv255(planes[0][x], k);
          break;
        }
        case pmLab:
          labToBgr(planes[0][x], planes[1][x], planes[2][x], px);
          break;
        default:
          break;
      }
      if (a) px[3] = a[x];
    }
  }
  // Bits beyond the width in the last byte of a bitmap-mode row are padding.
  if (outBits == 1 && width % 8) {
    const auto keep = static_cast<std::uint8_t>(0xFF << (8 - width % 8));
    for (std::size_t y = 0; y < height; ++y) bmp.row(static_cast<int>(y))[rowBytes - 1] &= keep;
  }
  out = std::move(bmp);
  return CodecResult::success();
}

}  // namespace

CodecResult readPsd(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  return runCodec([&] { return decodePsd(in, out, limits); });
}

}  // namespace vorlino
