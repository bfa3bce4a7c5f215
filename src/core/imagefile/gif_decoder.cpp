// GIF reader on giflib, from memory.
//
// Supports GIF 87a and 89a, interlaced or not, with global and local colour tables. Only the
// first frame is read, drawn on the logical screen (enlarged to hold the frame when the frame
// sticks out of it), as an 8-bit palette bitmap whose palette is the frame's colour table (a grey
// ramp when the file has none). The screen around the frame is filled with the frame's
// transparent index, or index 0 when it has none; the background colour of the header is not
// used, as is usual for the first frame. Frames after the first are not read at all.
// Truncated or damaged image data fails.
#include <algorithm>
#include <cstring>

#include <gif_lib.h>

#include "imagefile/decoders.h"

namespace vorlino {
namespace {

struct GifSource {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t pos;
};

int readGifBytes(GifFileType* gif, GifByteType* dst, int n) {
  auto& src = *static_cast<GifSource*>(gif->UserData);
  if (n <= 0) return 0;
  std::size_t take = static_cast<std::size_t>(n);
  if (take > src.size - src.pos) take = src.size - src.pos;
  std::memcpy(dst, src.data + src.pos, take);
  src.pos += take;
  return static_cast<int>(take);
}

class GifHandle {
 public:
  explicit GifHandle(GifSource& src) { gif_ = DGifOpen(&src, readGifBytes, &openError_); }
  GifHandle(const GifHandle&) = delete;
  GifHandle& operator=(const GifHandle&) = delete;
  ~GifHandle() {
    if (gif_) {
      int ignored = 0;
      DGifCloseFile(gif_, &ignored);
    }
  }
  GifFileType* get() const { return gif_; }
  int openError() const { return openError_; }

 private:
  GifFileType* gif_ = nullptr;
  int openError_ = 0;
};

CodecResult gifFailure(const GifFileType* gif) {
  const int code = gif->Error;
  const char* text = GifErrorString(code);
  CodecError kind =
      code == D_GIF_ERR_NOT_ENOUGH_MEM ? CodecError::ceNoMemory : CodecError::ceDamaged;
  return CodecResult::fail(kind, text ? text : "giflib error");
}

// Skips the sub-blocks of an extension, noting the transparent index of a graphic control block.
bool readExtension(GifFileType* gif, int& transparentIndex) {
  int code = 0;
  GifByteType* block = nullptr;
  if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
  if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4)
    transparentIndex = (block[1] & 0x01) ? block[4] : -1;
  while (block) {
    if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
  }
  return true;
}

void setPalette(Bitmap& picture, const ColorMapObject* map) {
  auto& palette = picture.palette();  // 256 entries
  if (!map || !map->Colors) {
    for (std::size_t i = 0; i < palette.size(); ++i) {
      const auto g = static_cast<std::uint8_t>(i);
      palette[i] = {g, g, g, 0};
    }
    return;
  }
  const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(map->ColorCount), 256);
  for (std::size_t i = 0; i < count; ++i)
    palette[i] = {map->Colors[i].Blue, map->Colors[i].Green, map->Colors[i].Red, 0};
}

// Reads the pixels of the current frame into the canvas, rows in file order (interlaced frames
// come in four passes).
bool readFrame(GifFileType* gif, Bitmap& canvas) {
  const GifImageDesc& d = gif->Image;
  const auto left = static_cast<std::size_t>(d.Left);
  auto readRow = [&](int y) {
    return DGifGetLine(gif, canvas.row(d.Top + y) + left, d.Width) != GIF_ERROR;
  };
  if (!d.Interlace) {
    for (int y = 0; y < d.Height; ++y)
      if (!readRow(y)) return false;
    return true;
  }
  static constexpr int kStart[4] = {0, 4, 2, 1};
  static constexpr int kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int y = kStart[pass]; y < d.Height; y += kStep[pass])
      if (!readRow(y)) return false;
  return true;
}

}  // namespace

CodecResult readGif(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  return runCodec([&]() -> CodecResult {
    if (in.size() < 6 || std::memcmp(in.data(), "GIF", 3) != 0)
      return CodecResult::fail(CodecError::ceSignature, "not a GIF file");
    GifSource src{in.data(), in.size(), 0};
    GifHandle handle(src);
    GifFileType* gif = handle.get();
    if (!gif) {
      const char* text = GifErrorString(handle.openError());
      return CodecResult::fail(CodecError::ceDamaged, text ? text : "cannot open");
    }

    int transparentIndex = -1;
    for (;;) {
      GifRecordType type = UNDEFINED_RECORD_TYPE;
      if (DGifGetRecordType(gif, &type) == GIF_ERROR) return gifFailure(gif);
      if (type == EXTENSION_RECORD_TYPE) {
        if (!readExtension(gif, transparentIndex)) return gifFailure(gif);
        continue;
      }
      if (type != IMAGE_DESC_RECORD_TYPE)
        return CodecResult::fail(CodecError::ceDamaged, "no image in file");
      break;
    }
    if (DGifGetImageDesc(gif) == GIF_ERROR) return gifFailure(gif);

    const GifImageDesc& d = gif->Image;
    if (d.Left < 0 || d.Top < 0 || d.Width <= 0 || d.Height <= 0)
      return CodecResult::fail(CodecError::ceDamaged, "empty frame");
    const std::uint64_t right = std::uint64_t(d.Left) + std::uint64_t(d.Width);
    const std::uint64_t bottom = std::uint64_t(d.Top) + std::uint64_t(d.Height);
    const std::uint64_t width = std::max<std::uint64_t>(std::uint64_t(gif->SWidth), right);
    const std::uint64_t height = std::max<std::uint64_t>(std::uint64_t(gif->SHeight), bottom);
    CodecResult sized = checkDimensions(width, height, limits);
    if (!sized.ok()) return sized;

    Bitmap canvas;
    canvas.resetForOverwrite(static_cast<int>(width), static_cast<int>(height), 8);
    const auto fill = static_cast<std::uint8_t>(transparentIndex >= 0 ? transparentIndex : 0);
    for (int y = 0; y < canvas.height(); ++y) std::memset(canvas.row(y), fill, canvas.stride());
    setPalette(canvas, d.ColorMap ? d.ColorMap : gif->SColorMap);
    if (!readFrame(gif, canvas)) return gifFailure(gif);
    out = std::move(canvas);
    return CodecResult::success();
  });
}

}  // namespace vorlino
