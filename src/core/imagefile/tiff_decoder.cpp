// TIFF reader on libtiff, from memory (also used for fax files and the preview of binary EPS).
//
// Supports classic TIFF and BigTIFF, first directory only, with every compression, photometric
// interpretation and layout (strips, tiles, separate planes, orientation) that libtiff's RGBA
// interface reads: grey, palette, RGB, CMYK, YCbCr, CIE Lab, JPEG and old-style JPEG, CCITT fax.
// Bilevel and palette images stored in strips keep their form (1-bit bilevel, 1/4/8-bit palette
// bitmap); everything else comes out as 32 bits (blue, green, red, alpha).
// Errors and warnings go to handlers attached to the handle and are never printed. Data that ends
// early fails, including fax data that libtiff would only warn about.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>

#include <tiffio.h>

#include "imagefile/decoders.h"
#include "imagefile/orientation.h"

namespace vorlino {
namespace {

struct TiffSource {
  const std::uint8_t* data;
  std::uint64_t size;
  std::uint64_t pos;
};

struct TiffReport {
  char error[200] = {};  // first error
  bool dataMissing = false;
};

tsize_t readTiffBytes(thandle_t h, tdata_t dst, tsize_t n) {
  auto& src = *static_cast<TiffSource*>(h);
  if (n <= 0 || src.pos >= src.size) return 0;
  std::uint64_t take = static_cast<std::uint64_t>(n);
  if (take > src.size - src.pos) take = src.size - src.pos;
  std::memcpy(dst, src.data + src.pos, static_cast<std::size_t>(take));
  src.pos += take;
  return static_cast<tsize_t>(take);
}

tsize_t writeTiffBytes(thandle_t, tdata_t, tsize_t) {
  return -1;
}

toff_t seekTiff(thandle_t h, toff_t offset, int whence) {
  auto& src = *static_cast<TiffSource*>(h);
  std::uint64_t base = 0;
  if (whence == SEEK_CUR) base = src.pos;
  if (whence == SEEK_END) base = src.size;
  std::uint64_t target = 0;
  if (__builtin_add_overflow(base, static_cast<std::uint64_t>(offset), &target))
    return static_cast<toff_t>(-1);
  src.pos = target;  // past the end is allowed; reads there return nothing
  return target;
}

int closeTiff(thandle_t) {
  return 0;
}
toff_t sizeOfTiff(thandle_t h) {
  return static_cast<TiffSource*>(h)->size;
}

// The buffer is already in memory: hand it to libtiff as a mapped file, so that raw strips are
// read in place instead of being copied. libtiff does not write to a file opened for reading.
int mapTiff(thandle_t h, tdata_t* base, toff_t* size) {
  auto& src = *static_cast<TiffSource*>(h);
  *base = const_cast<std::uint8_t*>(src.data);
  *size = src.size;
  return 1;
}
void unmapTiff(thandle_t, tdata_t, toff_t) {}

int onTiffError(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
  auto& report = *static_cast<TiffReport*>(user);
  if (report.error[0] == '\0') {
    int n = std::snprintf(report.error, sizeof report.error, "%s: ", module ? module : "tiff");
    if (n < 0 || n >= static_cast<int>(sizeof report.error)) n = 0;
    std::vsnprintf(report.error + n, sizeof report.error - static_cast<std::size_t>(n), fmt, ap);
  }
  return 1;  // handled: nothing reaches the process-wide handlers
}

// Two warnings mean that the file ends early, and libtiff carries on regardless: the fax
// decoders fill the missing lines with white, and the directory reader drops a tag whose values
// lie past the end of the file (a lost colour map turns a palette image into grey).
int onTiffWarning(TIFF*, void* user, const char*, const char* fmt, va_list) {
  if (fmt && (std::strstr(fmt, "Premature EOF") || std::strstr(fmt, "IO error during reading")))
    static_cast<TiffReport*>(user)->dataMissing = true;
  return 1;
}

// Messages emitted before a handle exists (allocation of the handle itself) go to the
// process-wide handlers, which print on stderr by default: switch those off once.
void silenceGlobalTiffHandlers() {
  static std::once_flag once;
  std::call_once(once, [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
  });
}

class TiffHandle {
 public:
  TiffHandle(TiffSource& src, TiffReport& report, tmsize_t maxAlloc) {
    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    if (!opts) return;
    TIFFOpenOptionsSetErrorHandlerExtR(opts, onTiffError, &report);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, onTiffWarning, &report);
    TIFFOpenOptionsSetMaxSingleMemAlloc(opts, maxAlloc);
    tif_ = TIFFClientOpenExt("memory", "r", &src, readTiffBytes, writeTiffBytes, seekTiff,
                             closeTiff, sizeOfTiff, mapTiff, unmapTiff, opts);
    TIFFOpenOptionsFree(opts);
  }
  TiffHandle(const TiffHandle&) = delete;
  TiffHandle& operator=(const TiffHandle&) = delete;
  ~TiffHandle() {
    if (tif_) TIFFClose(tif_);
  }
  TIFF* get() const { return tif_; }

 private:
  TIFF* tif_ = nullptr;
};

CodecResult tiffFailure(const TiffReport& report, const char* fallback,
                        CodecError kind = CodecError::ceDamaged) {
  return CodecResult::fail(kind, report.error[0] ? report.error : fallback);
}

// Bilevel or palette data in strips, top row first: read straight into a palette bitmap.
bool isPaletteForm(TIFF* tif) {
  std::uint16_t spp = 1, bps = 1, photometric = 0, orientation = ORIENTATION_TOPLEFT;
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bps);
  TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
  if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric)) return false;
  if (TIFFIsTiled(tif) || spp != 1 || orientation != ORIENTATION_TOPLEFT) return false;
  if (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK)
    return bps == 1;
  return photometric == PHOTOMETRIC_PALETTE && (bps == 1 || bps == 4 || bps == 8);
}

CodecResult readPaletteForm(TIFF* tif, int width, int height, Bitmap& picture,
                            const TiffReport& report) {
  std::uint16_t bps = 1, photometric = 0;
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bps);
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
  picture.resetForOverwrite(width, height, bps);

  auto& palette = picture.palette();
  if (photometric == PHOTOMETRIC_PALETTE) {
    std::uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue)
      return tiffFailure(report, "no colour map");
    // Some old writers stored 8-bit values in the 16-bit colour map.
    bool eightBit = true;
    for (std::size_t i = 0; i < palette.size(); ++i)
      if (red[i] > 255 || green[i] > 255 || blue[i] > 255) eightBit = false;
    const int shift = eightBit ? 0 : 8;
    for (std::size_t i = 0; i < palette.size(); ++i)
      palette[i] = {static_cast<std::uint8_t>(blue[i] >> shift),
                    static_cast<std::uint8_t>(green[i] >> shift),
                    static_cast<std::uint8_t>(red[i] >> shift), 0};
  } else {
    const PaletteColor black{0, 0, 0, 0}, white{255, 255, 255, 0};
    palette[0] = photometric == PHOTOMETRIC_MINISWHITE ? white : black;
    palette[1] = photometric == PHOTOMETRIC_MINISWHITE ? black : white;
  }

  const tmsize_t lineBytes = TIFFScanlineSize(tif);
  const std::size_t expected = (static_cast<std::size_t>(width) * bps + 7) / 8;
  if (lineBytes <= 0 || static_cast<std::size_t>(lineBytes) != expected)
    return tiffFailure(report, "unexpected scanline size");
  for (int y = 0; y < height; ++y)
    if (TIFFReadScanline(tif, picture.row(y), static_cast<std::uint32_t>(y), 0) < 0)
      return tiffFailure(report, "cannot read scanline");
  return CodecResult::success();
}

// Everything else, through libtiff's RGBA interface straight into the 32-bit bitmap (its rows
// are exactly width * 4 bytes, so the pixel block is the raster libtiff expects).
CodecResult readThroughRgba(TIFF* tif, int width, int height, Bitmap& picture,
                            const TiffReport& report) {
  char reason[1024] = {};
  if (!TIFFRGBAImageOK(tif, reason)) return CodecResult::fail(CodecError::ceUnsupported, reason);
  picture.resetForOverwrite(width, height, 32);
  auto* raster = reinterpret_cast<std::uint32_t*>(picture.bits());
  // libtiff mirrors orientations 2 to 4 upright itself, but would only mirror the turned ones
  // (5 to 8): those are read as stored (asking for the file's own orientation flips nothing) and
  // turned here.
  std::uint16_t orientation = ORIENTATION_TOPLEFT;
  TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
  const bool turned = orientation >= ORIENTATION_LEFTTOP && orientation <= ORIENTATION_LEFTBOT;
  if (!TIFFReadRGBAImageOriented(tif, static_cast<std::uint32_t>(width),
                                 static_cast<std::uint32_t>(height), raster,
                                 turned ? orientation : ORIENTATION_TOPLEFT, 1))
    return tiffFailure(report, "cannot read image");
  for (int y = 0; y < height; ++y) {
    std::uint8_t* p = picture.row(y);
    const std::uint32_t* src =
        raster + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
    for (int x = 0; x < width; ++x, p += 4) {
      const std::uint32_t v = src[x];
      p[0] = static_cast<std::uint8_t>(TIFFGetB(v));
      p[1] = static_cast<std::uint8_t>(TIFFGetG(v));
      p[2] = static_cast<std::uint8_t>(TIFFGetR(v));
      p[3] = static_cast<std::uint8_t>(TIFFGetA(v));
    }
  }
  if (turned) applyOrientation(picture, orientation);
  return CodecResult::success();
}

}  // namespace

CodecResult readTiff(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  return runCodec([&]() -> CodecResult {
    if (in.size() < 8) return CodecResult::fail(CodecError::ceSignature, "not a TIFF file");
    const std::uint8_t* d = in.data();
    const bool intel = d[0] == 'I' && d[1] == 'I', motorola = d[0] == 'M' && d[1] == 'M';
    if (!intel && !motorola) return CodecResult::fail(CodecError::ceSignature, "not a TIFF file");
    silenceGlobalTiffHandlers();

    // No single allocation of libtiff (a strip, a tile) needs more than the largest picture
    // allowed at 16 bits per sample and 4 samples.
    std::uint64_t maxAlloc = limits.maxPixels * 8;
    if (maxAlloc / 8 != limits.maxPixels ||
        maxAlloc > static_cast<std::uint64_t>(std::numeric_limits<tmsize_t>::max()))
      maxAlloc = static_cast<std::uint64_t>(std::numeric_limits<tmsize_t>::max());

    TiffSource src{in.data(), in.size(), 0};
    TiffReport report;
    TiffHandle handle(src, report, static_cast<tmsize_t>(maxAlloc));
    TIFF* tif = handle.get();
    if (!tif) return tiffFailure(report, "cannot open");

    std::uint32_t width = 0, height = 0;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height))
      return tiffFailure(report, "no image size");
    CodecResult sized = checkDimensions(width, height, limits);
    if (!sized.ok()) return sized;

    const int w = static_cast<int>(width), h = static_cast<int>(height);
    Bitmap picture;
    CodecResult read = isPaletteForm(tif) ? readPaletteForm(tif, w, h, picture, report)
                                          : readThroughRgba(tif, w, h, picture, report);
    if (report.dataMissing)
      return CodecResult::fail(CodecError::ceDamaged, "premature end of data");
    if (!read.ok()) return read;
    out = std::move(picture);
    return CodecResult::success();
  });
}

}  // namespace vorlino
