#include "imagefile/load_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "imagefile/format_registry.h"
#include "imagefile/orientation.h"
#include "imagefile/photo_formats.h"
#include "prompts/prompts.h"

namespace vorlino {
namespace {

bool gReportFailures = true;
bool gPreview = false;

// Draws a decoded icon or metafile onto a white picture of its size: alpha (32 bits) is blended
// over white, palettes are resolved.
void renderOnWhite(Bitmap& pic) {
  if (pic.bitsPerPixel() != 32) {
    pic.convertTo24();
    return;
  }
  Bitmap canvas;
  canvas.resetForOverwrite(pic.width(), pic.height(), 24);
  for (int y = 0; y < pic.height(); ++y) {
    const std::uint8_t* s = pic.row(y);
    std::uint8_t* d = canvas.row(y);
    for (int x = 0; x < pic.width(); ++x, s += 4, d += 3) {
      const unsigned a = s[3];
      for (int c = 0; c < 3; ++c)
        d[c] = static_cast<std::uint8_t>((s[c] * a + 255 * (255 - a)) / 255);
    }
  }
  pic.swap(canvas);
}

}  // namespace

bool readWholeFile(const std::string& name, PixelBuffer& bytes, std::size_t& size) {
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  size = static_cast<std::size_t>(st.st_size);
  bytes = PixelBuffer(size, PixelBuffer::Fill::kAny);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, bytes.data() + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;  // an error, or the file shrank while being read
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string loadFailureMessage(const std::string& fileName) {
  return "Impossible d'ouvrir l'image dans le fichier \"" + fileName + "\"";
}

std::string fileExtension(const std::string& fileName) {
  const std::size_t slash = fileName.find_last_of('/');
  const std::size_t dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = fileName.substr(dot + 1);
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return ext;
}

CodecResult decodeImageFile(const std::string& fileName, Bitmap& out,
                            const DecodeLimits& limits) noexcept {
  PhotoMetadata unused;
  return decodeImageFile(fileName, out, unused, limits);
}

CodecResult decodeImageFile(const std::string& fileName, Bitmap& out, PhotoMetadata& metadata,
                            const DecodeLimits& limits) noexcept {
  return runCodec([&]() -> CodecResult {
    const std::string ext = fileExtension(fileName);
    if (ext.empty() || !fileFormats().decoderFor(ext))
      return CodecResult::fail(CodecError::ceUnsupported, "unknown extension");
    PixelBuffer bytes;
    std::size_t size = 0;
    if (!readWholeFile(fileName, bytes, size))
      return CodecResult::fail(CodecError::ceIo, "cannot read the file");
    return decodeImageBytes(fileName, bytes.data(), size, out, metadata, limits);
  });
}

CodecResult decodeImageBytes(const std::string& fileName, const std::uint8_t* data,
                             std::size_t size, Bitmap& out, PhotoMetadata& metadata,
                             const DecodeLimits& limits) noexcept {
  return runCodec([&]() -> CodecResult {
    const std::string ext = fileExtension(fileName);
    const auto kind = ext.empty() ? std::nullopt : fileFormats().decoderFor(ext);
    if (!kind) return CodecResult::fail(CodecError::ceUnsupported, "unknown extension");
    ByteReader in(data, size);
    in.setFileName(fileName);
    const DecoderInfo decoder = decoderInfo(*kind);
    Bitmap pic;
    if (auto r = decoder.read(in, pic, limits); !r.ok()) return r;
    if (decoder.rendered) renderOnWhite(pic);
    PhotoMetadata found;
    if (mayCarryMetadata(ext)) found = readPhotoMetadata(data, size);
    // The metadata library reads no JPEG XL and no HEIF colour box: their decoders give the
    // profile instead.
    if (found.iccProfile().empty()) {
      if (*kind == DecoderKind::dkJxl) found = found.withProfile(jxlIccProfile(data, size));
      if (*kind == DecoderKind::dkHeif || *kind == DecoderKind::dkAvif)
        found = found.withProfile(heifIccProfile(data, size));
    }
    if (orientationAppliesTo(ext)) applyOrientation(pic, found.orientation());
    pic.Transparent = false;
    out.swap(pic);
    metadata = std::move(found);
    return CodecResult::success();
  });
}

bool chooseImageFile(std::string& fileName, const std::string& folder) {
  OpenImageRequest request;
  request.filter = fileFormats().openFilter();
  request.folder = folder;
  request.preview = gPreview;
  const OpenImageReply reply = prompts().openImage(request);
  gPreview = reply.preview;
  if (!reply.accepted || reply.fileName.empty()) return false;
  fileName = reply.fileName;
  return true;
}

int LoadImageFile(std::string& fileName, Bitmap& target, const std::string& folder,
                  PhotoMetadata* metadata) noexcept {
  try {
    if (fileName.empty() && !chooseImageFile(fileName, folder)) return 0;
    PhotoMetadata found;
    if (decodeImageFile(fileName, target, found).ok()) {
      if (metadata) *metadata = std::move(found);
      return 1;
    }
  } catch (...) {
    // Out of memory while building texts or a failing dialog: a failure like any other.
  }
  try {
    if (gReportFailures) showError(loadFailureMessage(fileName));
  } catch (...) {
  }
  return -1;
}

bool reportLoadFailures() {
  return gReportFailures;
}
void setReportLoadFailures(bool on) {
  gReportFailures = on;
}
bool previewFlag() {
  return gPreview;
}
void setPreviewFlag(bool on) {
  gPreview = on;
}

}  // namespace vorlino
