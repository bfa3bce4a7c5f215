// HEIF reader on libheif, from memory: HEIC (HEVC through libde265) and AVIF (AV1 through dav1d
// or aom), whichever codecs the installed libheif was built with.
//
// The primary image only, decoded with its transformations (irot, imir, clap) applied by libheif,
// so the picture comes out upright. 8-bit images give 24 bits, or 32 bits with an alpha plane;
// 10 and 12-bit images are read at their own depth and rounded to 8 bits here. Grid images (the
// tiles of a phone photo) are assembled by libheif. Thumbnails, depth maps and further images are
// ignored. The size is checked against the limits before anything is decoded. The codecs behind
// libheif (libde265, dav1d, aom) print a line for some damaged streams: kept off stderr.
#include <algorithm>
#include <cstring>
#include <memory>

#include <libheif/heif.h>

#include "bitmap/checked.h"
#include "imagefile/heif_canvas.h"
#include "imagefile/heif_codecs.h"
#include "imagefile/nclx_profile.h"
#include "imagefile/photo_formats.h"
#include "imagefile/quiet_stderr.h"
#include "imagefile/rgb_rows.h"

namespace vorlino {
namespace {

struct ContextFree {
  void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleRelease {
  void operator()(const heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageRelease {
  void operator()(const heif_image* i) const { heif_image_release(i); }
};
struct OptionsFree {
  void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};
using HeifContext = std::unique_ptr<heif_context, ContextFree>;
using HeifHandle = std::unique_ptr<const heif_image_handle, HandleRelease>;
using HeifImage = std::unique_ptr<const heif_image, ImageRelease>;
using HeifOptions = std::unique_ptr<heif_decoding_options, OptionsFree>;

// libheif's plugins are set up once per process and kept.
void initialiseOnce() {
  static const bool done = [] {
    heif_init(nullptr);
    registerHeifCodecs();
    return true;
  }();
  (void)done;
}

CodecError errorKind(const heif_error& e) {
  switch (e.code) {
    case heif_error_Unsupported_filetype:
      return CodecError::ceSignature;
    case heif_error_Unsupported_feature:
      return CodecError::ceUnsupported;
    case heif_error_Memory_allocation_error:
      return CodecError::ceNoMemory;
    default:
      return CodecError::ceDamaged;
  }
}

CodecResult failure(const heif_error& e) {
  return CodecResult::fail(errorKind(e), e.message ? e.message : "libheif error");
}

// Opens the file held in [data, data + size) and its primary image; the memory must outlive both.
CodecResult openPrimary(const std::uint8_t* data, std::size_t size, HeifContext& context,
                        HeifHandle& handle) {
  initialiseOnce();
  // The file type box comes first; anything else is not for this reader.
  if (size < 12 || std::memcmp(data + 4, "ftyp", 4) != 0)
    return CodecResult::fail(CodecError::ceSignature, "no ftyp box");
  context.reset(heif_context_alloc());
  if (!context) return CodecResult::fail(CodecError::ceNoMemory, "cannot create context");
  heif_context_set_maximum_image_size_limit(context.get(), Bitmap::kMaxSide);
  heif_error e = heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr);
  if (e.code != heif_error_Ok) return failure(e);
  heif_image_handle* h = nullptr;
  e = heif_context_get_primary_image_handle(context.get(), &h);
  handle.reset(h);
  if (e.code != heif_error_Ok) return failure(e);
  return CodecResult::success();
}

// The profile a colour box of code points stands for (see nclx_profile.h).
std::vector<std::uint8_t> nclxProfile(const heif_image_handle* handle) {
  heif_color_profile_nclx* nclx = nullptr;
  if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code != heif_error_Ok || !nclx)
    return {};
  NclxColours colours;
  colours.transfer = nclx->transfer_characteristics;
  colours.bt709Primaries = nclx->color_primaries == heif_color_primaries_ITU_R_BT_709_5 ||
                           nclx->color_primaries == heif_color_primaries_unspecified;
  const float xs[4] = {nclx->color_primary_red_x, nclx->color_primary_green_x,
                       nclx->color_primary_blue_x, nclx->color_primary_white_x};
  const float ys[4] = {nclx->color_primary_red_y, nclx->color_primary_green_y,
                       nclx->color_primary_blue_y, nclx->color_primary_white_y};
  for (int i = 0; i < 4; ++i) colours.x[i] = xs[i], colours.y[i] = ys[i];
  heif_nclx_color_profile_free(nclx);
  return iccProfileForNclx(colours);
}

}  // namespace

CodecResult readHeif(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  const QuietStderr quiet;
  return runCodec([&]() -> CodecResult {
    HeifContext context;
    HeifHandle handle;
    if (auto r = openPrimary(in.data(), in.size(), context, handle); !r.ok()) return r;
    const int width = heif_image_handle_get_width(handle.get());
    const int height = heif_image_handle_get_height(handle.get());
    if (width <= 0 || height <= 0) return CodecResult::fail(CodecError::ceDamaged, "no size");
    if (auto r = checkDimensions(static_cast<std::uint64_t>(width),
                                 static_cast<std::uint64_t>(height), limits);
        !r.ok())
      return r;

    // Grid and overlay canvases, and the coded frames, may claim more than the container: each
    // stays within the limits, and all of them (tiles, alpha, padding) within a few times the
    // picture.
    const auto pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    const std::uint64_t room = 4 * pixels + (std::uint64_t{1} << 22);
    const HeifDerivedImages derived = heifDerivedImages(in.data(), in.size());
    if (derived.missingSource)
      return CodecResult::fail(CodecError::ceDamaged, "derived image without its source");
    for (const HeifCanvas& canvas : derived.canvases)
      if (canvas.width * canvas.height > std::min(room, limits.maxPixels))
        return CodecResult::fail(CodecError::ceTooLarge, "derived image canvas too large");
    const HeifFrameBudget budget(limits.maxPixels, room);

    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    const int bits = heif_image_handle_get_luma_bits_per_pixel(handle.get());
    const bool deep = bits > 8;
    const heif_chroma chroma =
        deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
             : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    HeifOptions options(heif_decoding_options_alloc());
    if (!options) return CodecResult::fail(CodecError::ceNoMemory, "cannot create options");
    options->ignore_transformations = 0;
    options->convert_hdr_to_8bit = 0;
    heif_image* decoded = nullptr;
    heif_error e =
        heif_decode_image(handle.get(), &decoded, heif_colorspace_RGB, chroma, options.get());
    HeifImage image(decoded);
    if (e.code != heif_error_Ok) return failure(e);
    if (!image) return CodecResult::fail(CodecError::ceDamaged, "no image");

    const int w = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int h = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (auto r =
            checkDimensions(static_cast<std::uint64_t>(w), static_cast<std::uint64_t>(h), limits);
        !r.ok())
      return r;
    int stride = 0;
    const std::uint8_t* plane =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (!plane || stride <= 0) return CodecResult::fail(CodecError::ceDamaged, "no pixels");
    int depth = 8;
    if (deep) depth = heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved);
    if (depth < 8 || depth > 16) return CodecResult::fail(CodecError::ceUnsupported, "bit depth");

    const int channels = alpha ? 4 : 3;
    const auto rowBytes =
        checkedMul(static_cast<std::size_t>(w), std::size_t(channels) * (deep ? 2 : 1));
    if (!rowBytes || static_cast<std::size_t>(stride) < *rowBytes)
      return CodecResult::fail(CodecError::ceDamaged, "short rows");
    Bitmap pic;
    pic.resetForOverwrite(w, h, alpha ? 32 : 24);
    const RgbRowStore rows(channels, deep ? (1 << depth) - 1 : 255);
    for (int y = 0; y < h; ++y)
      rows.store(plane + static_cast<std::size_t>(stride) * static_cast<std::size_t>(y),
                 static_cast<std::size_t>(w), pic.row(y));
    out.swap(pic);
    return CodecResult::success();
  });
}

std::vector<std::uint8_t> heifIccProfile(const std::uint8_t* data, std::size_t size) noexcept {
  try {
    HeifContext context;
    HeifHandle handle;
    if (!openPrimary(data, size, context, handle).ok()) return {};
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle.get());
    if (type == heif_color_profile_type_nclx) return nclxProfile(handle.get());
    if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC) return {};
    std::vector<std::uint8_t> profile(heif_image_handle_get_raw_color_profile_size(handle.get()));
    if (profile.empty() ||
        heif_image_handle_get_raw_color_profile(handle.get(), profile.data()).code != heif_error_Ok)
      return {};
    return profile;
  } catch (...) {
    return {};
  }
}

}  // namespace vorlino
