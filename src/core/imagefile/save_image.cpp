#include "imagefile/save_image.h"

#include <utility>

#include "compose/soft_alpha.h"
#include "imagefile/bmp_rle_writer.h"
#include "imagefile/bmp_writer.h"
#include "imagefile/file_output.h"
#include "imagefile/gif_writer.h"
#include "imagefile/load_image.h"
#include "imagefile/png_writer.h"
#include "imagefile/tga_writer.h"
#include "imagefile/tiff_writer.h"
#include "imagefile/webp_writer.h"
#include "prompts/prompts.h"

namespace vorlino {

const SaveFormatRow kSaveFormats[kSaveFormatCount] = {
    {".bmp", "Bitmap Windows"},        {".rle", "Bitmap Windows RLE"}, {".gif", "Image GIF"},
    {".jpg;.jpeg;.jpe", "Image JPEG"}, {".png", "Image PNG"},          {".tif;.tiff", "Image TIFF"},
    {".tga", "Image Targa"},           {".webp", "Image WebP"},
};

namespace {

BeforeSaveHandler& beforeSaveSlot() {
  static BeforeSaveHandler handler;
  return handler;
}

// Position of the extension's dot: the last dot of the file name part, or npos.
std::size_t extensionStart(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return dot;
  const std::size_t slash = name.rfind('/');
  return slash != std::string::npos && slash > dot ? std::string::npos : dot;
}

// The lower-case extension with its dot, or empty.
std::string lowerExtension(const std::string& name) {
  const std::string ext = fileExtension(name);
  return ext.empty() ? ext : "." + ext;
}

CodecResult encode(const SaveEncoder& encoder, const Bitmap& bitmap, ByteWriter& out) {
  switch (encoder.format) {
    case SaveFormat::sfBmp:
      return WriteBmp(bitmap, out, BmpOptions{});
    case SaveFormat::sfRle:
      return WriteRle(bitmap, out, RleOptions{});
    case SaveFormat::sfGif:
      return WriteGif(bitmap, out, GifOptions{});
    case SaveFormat::sfJpeg:
      return WriteJpeg(bitmap, out, encoder.jpeg);
    case SaveFormat::sfPng:
      return WritePng(bitmap, out, PngOptions{});
    case SaveFormat::sfTiff:
      return WriteTiff(bitmap, out, TiffOptions{});
    case SaveFormat::sfTarga:
      return WriteTarga(bitmap, out, TargaOptions{});
    case SaveFormat::sfWebp:
      return WriteWebp(bitmap, out, WebpOptions{encoder.jpeg.quality});
  }
  return CodecResult::fail(CodecError::ceUnsupported, "no writer");
}

void showSaveError(const std::string& fileName, bool unknownFormat) {
  showError(saveFailureMessage(fileName, unknownFormat));
}

// Encodes in memory, then puts the file in place; -1 after the message on any failure.
int writeWithEncoder(const std::string& fileName, const SaveEncoder& encoder, const Bitmap& bitmap,
                     bool reportFailures, const PhotoMetadata* metadata) {
  ByteWriter out;
  CodecResult result;
  if (bitmap.bitsPerPixel() == 32 && !formatKeepsAlpha(encoder.format)) {
    try {
      Bitmap opaque(bitmap);
      ComposeOverColour(opaque, bitmap.TransparentColor);
      result = encode(encoder, opaque, out);
    } catch (...) {
      result = CodecResult::fail(CodecError::ceNoMemory, "no memory for the opaque copy");
    }
  } else {
    result = encode(encoder, bitmap, out);
  }
  // A failure to place the metadata leaves the encoded bytes as they were: the picture matters
  // more.
  if (result.ok() && metadata && formatCarriesMetadata(encoder.format))
    embedPhotoMetadata(*metadata, bitmap.width(), bitmap.height(), out.bytes());
  if (result.ok()) result = writeFileReplacing(fileName, out.bytes());
  if (!result.ok()) {
    if (reportFailures) showSaveError(fileName, false);
    return -1;
  }
  return 1;
}

}  // namespace

std::string saveFailureMessage(const std::string& fileName, bool unknownFormat) {
  std::string text = "Impossible d'enregistrer l'image dans le fichier \"%s\"";
  if (unknownFormat) text += "\rcar le format n'est pas reconnu !";
  text.replace(text.find("%s"), 2, fileName);
  return text;
}

const std::string& saveFilter() {
  static const std::string filter = [] {
    std::string result;
    for (const SaveFormatRow& row : kSaveFormats) {
      std::string pattern;
      for (const char* c = row.extensions; *c; ++c)
        pattern += *c == '.' ? std::string("*.") : std::string(1, *c);
      if (!result.empty()) result += '|';
      result += std::string(row.description) + " (" + pattern + ")|" + pattern;
    }
    return result;
  }();
  return filter;
}

BeforeSaveHandler setBeforeSaveHandler(BeforeSaveHandler handler) {
  return std::exchange(beforeSaveSlot(), std::move(handler));
}

int FindSaveFormat(const std::string& name) {
  const std::string ext = lowerExtension(name);
  if (ext.empty()) return -1;
  for (int row = kSaveFormatCount - 1; row >= 0; --row)
    if (std::string(kSaveFormats[row].extensions).find(ext) != std::string::npos) return row;
  return -1;
}

std::optional<SaveFormat> saveFormatOf(const std::string& fileName) {
  const std::string ext = lowerExtension(fileName);
  if (ext == ".bmp") return SaveFormat::sfBmp;
  if (ext == ".jpg" || ext == ".jpe" || ext == ".jpeg") return SaveFormat::sfJpeg;
  if (ext == ".gif") return SaveFormat::sfGif;
  if (ext == ".tga") return SaveFormat::sfTarga;
  if (ext == ".png") return SaveFormat::sfPng;
  if (ext == ".tif" || ext == ".tiff") return SaveFormat::sfTiff;
  if (ext == ".rle") return SaveFormat::sfRle;
  if (ext == ".webp") return SaveFormat::sfWebp;
  return std::nullopt;
}

bool formatCarriesMetadata(SaveFormat format) {
  return format == SaveFormat::sfJpeg || format == SaveFormat::sfPng ||
         format == SaveFormat::sfTiff || format == SaveFormat::sfWebp;
}

bool formatKeepsAlpha(SaveFormat format) {
  return format == SaveFormat::sfPng || format == SaveFormat::sfTiff ||
         format == SaveFormat::sfTarga || format == SaveFormat::sfWebp;
}

int SaveImageFile(std::string& fileName, Bitmap& bitmap, const std::string& defaultName,
                  const PhotoMetadata* metadata) {
  if (fileName.empty()) {
    SaveImageRequest request;
    request.filter = saveFilter();
    request.defaultExtension = kSaveFormats[0].extensions;
    if (!defaultName.empty()) {
      request.filterIndex = FindSaveFormat(defaultName) + 1;
      request.proposedName = defaultName.substr(0, extensionStart(defaultName));
    }
    const SaveImageReply reply = prompts().saveImage(request);
    if (reply.accepted) fileName = reply.fileName;
  }
  if (fileName.empty()) return 0;

  const std::optional<SaveFormat> format = saveFormatOf(fileName);
  if (!format) {
    showSaveError(fileName, true);
    return -2;
  }
  SaveEncoder encoder;
  encoder.format = *format;
  bool accept = true;
  // A copy, so that a handler that replaces the slot does not destroy itself while it runs.
  if (const BeforeSaveHandler handler = beforeSaveSlot()) handler(encoder, accept);
  if (!accept) return 0;
  return writeWithEncoder(fileName, encoder, bitmap, true, metadata);
}

int SaveImageFileWith(const std::string& fileName, const Bitmap& bitmap, const JpegOptions& jpeg,
                      bool reportFailures, const PhotoMetadata* metadata) {
  const std::optional<SaveFormat> format = saveFormatOf(fileName);
  if (!format) {
    if (reportFailures) showSaveError(fileName, true);
    return -2;
  }
  SaveEncoder encoder;
  encoder.format = *format;
  encoder.jpeg = jpeg;
  return writeWithEncoder(fileName, encoder, bitmap, reportFailures, metadata);
}

}  // namespace vorlino
