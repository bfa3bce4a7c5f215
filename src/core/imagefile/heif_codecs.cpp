// libheif decoder plugins over libde265 (HEVC) and dav1d (AV1), each frame checked against the
// budget of the decodes in flight before the codec allocates it. See heif_codecs.h.
#include "imagefile/heif_codecs.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include <dav1d/dav1d.h>
#include <libde265/de265.h>
#include <libheif/heif.h>
#include <libheif/heif_plugin.h>

#include "imagefile/codec.h"

namespace vorlino {
namespace {

// Above the system's own plugins (libde265 100, dav1d 150, aom 100), so libheif picks ours.
constexpr int kPriority = 1000;

// ---- the budget of the decodes in flight ----------------------------------------------------

struct BudgetState {
  std::mutex lock;
  int active = 0;
  std::uint64_t frameLimit = 0;
  std::uint64_t remaining = 0;
};

BudgetState& budgetState() {
  static BudgetState state;
  return state;
}

// The frame limit now: the strictest of the decodes in flight, or the default limits outside one.
std::uint64_t currentFrameLimit() {
  BudgetState& s = budgetState();
  const std::lock_guard<std::mutex> hold(s.lock);
  return s.active > 0 ? s.frameLimit : DecodeLimits{}.maxPixels;
}

// Takes a frame of `pixels` from the budget; false when it is larger than the frame limit or than
// what is left.
bool chargeFrame(std::uint64_t pixels) {
  BudgetState& s = budgetState();
  const std::lock_guard<std::mutex> hold(s.lock);
  if (s.active == 0) return pixels <= DecodeLimits{}.maxPixels;
  if (pixels > s.frameLimit || pixels > s.remaining) return false;
  s.remaining -= pixels;
  return true;
}

heif_error heifError(heif_error_code code, heif_suberror_code sub, const char* message) {
  return heif_error{code, sub, message};
}

const heif_error kOk = {heif_error_Ok, heif_suberror_Unspecified, "Success"};

const heif_error kTooLarge =
    heifError(heif_error_Memory_allocation_error, heif_suberror_Security_limit_exceeded,
              "coded frame larger than the limits");

// Copies `rows` rows of `bytes` bytes into a new plane of `image`.
bool copyPlane(heif_image* image, heif_channel channel, int width, int height, int bits,
               const std::uint8_t* from, std::ptrdiff_t fromStride) {
  if (heif_image_add_plane(image, channel, width, height, bits).code != heif_error_Ok) return false;
  int toStride = 0;
  std::uint8_t* to = heif_image_get_plane(image, channel, &toStride);
  if (!to || !from) return false;
  const std::size_t bytes = static_cast<std::size_t>(width) * (bits > 8 ? 2 : 1);
  if (static_cast<std::size_t>(toStride) < bytes) return false;
  for (int y = 0; y < height; ++y)
    std::memcpy(to + static_cast<std::ptrdiff_t>(y) * toStride, from + y * fromStride, bytes);
  return true;
}

// Hands the finished picture to libheif, or frees it and reports `error`.
heif_error finish(heif_image* image, bool complete, heif_image** out) {
  if (!complete) {
    heif_image_release(image);
    return heifError(heif_error_Decoder_plugin_error, heif_suberror_Unspecified,
                     "cannot copy the decoded picture");
  }
  *out = image;
  return kOk;
}

// ---- HEVC on libde265 ------------------------------------------------------------------------

// Worker threads decode slices side by side and run the deblocking and SAO filters by rows: they
// pay for a large frame. A grid's tiles, small frames, are already decoded side by side by libheif.
constexpr std::size_t kThreadedStream = 256 * 1024;

int hevcThreads() {
  const unsigned cores = std::thread::hardware_concurrency();
  return static_cast<int>(std::clamp(cores, 1u, 8u));
}

struct HevcDecoder {
  de265_decoder_context* context = nullptr;
  std::size_t streamBytes = 0;
};

// libde265 allocates each picture through these: the frame is charged before its memory is taken.
int guardedGetBuffer(de265_decoder_context* context, de265_image_spec* wanted, de265_image* image,
                     void* userData) {
  if (wanted->width <= 0 || wanted->height <= 0 ||
      !chargeFrame(static_cast<std::uint64_t>(wanted->width) *
                   static_cast<std::uint64_t>(wanted->height)))
    return 0;
  return de265_get_default_image_allocation_functions()->get_buffer(context, wanted, image,
                                                                    userData);
}

void guardedReleaseBuffer(de265_decoder_context* context, de265_image* image, void* userData) {
  de265_get_default_image_allocation_functions()->release_buffer(context, image, userData);
}

de265_image_allocation kGuardedAllocation = {&guardedGetBuffer, &guardedReleaseBuffer};

const char* hevcName() {
  return "libde265 HEVC decoder (frames within limits)";
}

int hevcSupports(heif_compression_format format) {
  return format == heif_compression_HEVC ? kPriority : 0;
}

heif_error hevcNew(void** out) {
  auto* decoder = new (std::nothrow) HevcDecoder;
  if (decoder) decoder->context = de265_new_decoder();
  if (!decoder || !decoder->context) {
    delete decoder;
    return heifError(heif_error_Memory_allocation_error, heif_suberror_Unspecified, "libde265");
  }
  de265_set_image_allocation_functions(decoder->context, &kGuardedAllocation, nullptr);
  de265_set_parameter_bool(decoder->context, DE265_DECODER_PARAM_SUPPRESS_FAULTY_PICTURES, 0);
  *out = decoder;
  return kOk;
}

void hevcFree(void* decoder) {
  auto* hevc = static_cast<HevcDecoder*>(decoder);
  de265_free_decoder(hevc->context);
  delete hevc;
}

// libheif hands the stream as NAL units, each behind a 4-byte big-endian size.
heif_error hevcPush(void* decoder, const void* data, std::size_t size) {
  auto* hevc = static_cast<HevcDecoder*>(decoder);
  hevc->streamBytes += size;
  de265_decoder_context* context = hevc->context;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::size_t at = 0;
  while (at < size) {
    if (size - at < 4)
      return heifError(heif_error_Decoder_plugin_error, heif_suberror_End_of_data, "NAL size");
    const std::size_t length = (std::size_t{bytes[at]} << 24) | (std::size_t{bytes[at + 1]} << 16) |
                               (std::size_t{bytes[at + 2]} << 8) | bytes[at + 3];
    at += 4;
    if (length > size - at || length > static_cast<std::size_t>(std::numeric_limits<int>::max()))
      return heifError(heif_error_Decoder_plugin_error, heif_suberror_End_of_data, "NAL data");
    de265_push_NAL(context, bytes + at, static_cast<int>(length), 0, nullptr);
    at += length;
  }
  return kOk;
}

heif_error hevcPicture(const de265_image* picture, heif_image** out) {
  const de265_chroma chroma = de265_get_chroma_format(picture);
  const bool mono = chroma == de265_chroma_mono;
  heif_image* image = nullptr;
  // libde265's chroma numbering is libheif's: mono 0, 4:2:0 1, 4:2:2 2, 4:4:4 3.
  heif_error e =
      heif_image_create(de265_get_image_width(picture, 0), de265_get_image_height(picture, 0),
                        mono ? heif_colorspace_monochrome : heif_colorspace_YCbCr,
                        static_cast<heif_chroma>(chroma), &image);
  if (e.code != heif_error_Ok) return e;
  const heif_channel channels[3] = {heif_channel_Y, heif_channel_Cb, heif_channel_Cr};
  bool complete = true;
  for (int c = 0; c < (mono ? 1 : 3) && complete; ++c) {
    int stride = 0;
    const std::uint8_t* plane = de265_get_image_plane(picture, c, &stride);
    complete = copyPlane(image, channels[c], de265_get_image_width(picture, c),
                         de265_get_image_height(picture, c), de265_get_bits_per_pixel(picture, c),
                         plane, stride);
  }
  return finish(image, complete, out);
}

heif_error hevcDecode(void* decoder, heif_image** out) {
  const auto* hevc = static_cast<HevcDecoder*>(decoder);
  de265_decoder_context* context = hevc->context;
  *out = nullptr;
  if (hevc->streamBytes >= kThreadedStream) de265_start_worker_threads(context, hevcThreads());
  de265_flush_data(context);
  int more = 0;
  do {
    more = 0;
    if (de265_decode(context, &more) != DE265_OK) break;
    if (const de265_image* picture = de265_get_next_picture(context)) {
      const heif_error e = hevcPicture(picture, out);
      de265_release_next_picture(context);
      return e;
    }
  } while (more);
  return heifError(heif_error_Decoder_plugin_error, heif_suberror_Unspecified,
                   "no picture in the HEVC stream");
}

void noStrictMode(void*, int) {}

const heif_decoder_plugin kHevcPlugin = {
    3,        hevcName, nullptr,    nullptr,      hevcSupports,      hevcNew,
    hevcFree, hevcPush, hevcDecode, noStrictMode, "vorlino-libde265"};

// ---- AV1 on dav1d ---------------------------------------------------------------------------

struct Av1Decoder {
  std::vector<std::uint8_t> stream;
};

const char* av1Name() {
  return "dav1d AV1 decoder (frames within limits)";
}

int av1Supports(heif_compression_format format) {
  return format == heif_compression_AV1 ? kPriority : 0;
}

heif_error av1New(void** out) {
  auto* decoder = new (std::nothrow) Av1Decoder;
  if (!decoder)
    return heifError(heif_error_Memory_allocation_error, heif_suberror_Unspecified, "dav1d");
  *out = decoder;
  return kOk;
}

void av1Free(void* decoder) {
  delete static_cast<Av1Decoder*>(decoder);
}

heif_error av1Push(void* decoder, const void* data, std::size_t size) {
  auto& stream = static_cast<Av1Decoder*>(decoder)->stream;
  try {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    stream.insert(stream.end(), bytes, bytes + size);
  } catch (...) {
    return heifError(heif_error_Memory_allocation_error, heif_suberror_Unspecified, "dav1d");
  }
  return kOk;
}

void quietLog(void*, const char*, va_list) {}

// The stream's colour description, for libheif's conversion to RGB when the file has none.
void setNclx(heif_image* image, const Dav1dSequenceHeader& header) {
  heif_color_profile_nclx* nclx = heif_nclx_color_profile_alloc();
  if (!nclx) return;
  heif_nclx_color_profile_set_color_primaries(nclx, static_cast<std::uint16_t>(header.pri));
  heif_nclx_color_profile_set_transfer_characteristics(nclx,
                                                       static_cast<std::uint16_t>(header.trc));
  heif_nclx_color_profile_set_matrix_coefficients(nclx, static_cast<std::uint16_t>(header.mtrx));
  nclx->full_range_flag = header.color_range ? 1 : 0;
  heif_image_set_nclx_color_profile(image, nclx);
  heif_nclx_color_profile_free(nclx);
}

heif_error av1Picture(const Dav1dPicture& picture, heif_image** out) {
  const Dav1dPixelLayout layout = picture.p.layout;
  const bool mono = layout == DAV1D_PIXEL_LAYOUT_I400;
  heif_chroma chroma = heif_chroma_monochrome;
  if (layout == DAV1D_PIXEL_LAYOUT_I420) chroma = heif_chroma_420;
  if (layout == DAV1D_PIXEL_LAYOUT_I422) chroma = heif_chroma_422;
  if (layout == DAV1D_PIXEL_LAYOUT_I444) chroma = heif_chroma_444;
  heif_image* image = nullptr;
  heif_error e =
      heif_image_create(picture.p.w, picture.p.h,
                        mono ? heif_colorspace_monochrome : heif_colorspace_YCbCr, chroma, &image);
  if (e.code != heif_error_Ok) return e;
  if (picture.seq_hdr) setNclx(image, *picture.seq_hdr);
  const int shiftX = layout == DAV1D_PIXEL_LAYOUT_I420 || layout == DAV1D_PIXEL_LAYOUT_I422;
  const int shiftY = layout == DAV1D_PIXEL_LAYOUT_I420;
  const heif_channel channels[3] = {heif_channel_Y, heif_channel_Cb, heif_channel_Cr};
  bool complete = true;
  for (int c = 0; c < (mono ? 1 : 3) && complete; ++c) {
    const int w = c == 0 ? picture.p.w : (picture.p.w + shiftX) >> shiftX;
    const int h = c == 0 ? picture.p.h : (picture.p.h + shiftY) >> shiftY;
    complete = copyPlane(image, channels[c], w, h, picture.p.bpc,
                         static_cast<const std::uint8_t*>(picture.data[c]),
                         picture.stride[c == 0 ? 0 : 1]);
  }
  return finish(image, complete, out);
}

// Sends the whole stream and takes the first picture out.
heif_error av1Run(Dav1dContext* context, Dav1dData& data, Dav1dPicture& picture) {
  for (;;) {
    if (data.sz > 0) {
      const int sent = dav1d_send_data(context, &data);
      if (sent < 0 && sent != DAV1D_ERR(EAGAIN))
        return heifError(heif_error_Decoder_plugin_error, heif_suberror_Unspecified,
                         "damaged AV1 stream");
    }
    const int got = dav1d_get_picture(context, &picture);
    if (got == 0) return kOk;
    if (got != DAV1D_ERR(EAGAIN) || data.sz == 0)
      return heifError(heif_error_Decoder_plugin_error, heif_suberror_Unspecified,
                       "no picture in the AV1 stream");
  }
}

heif_error av1Decode(void* decoder, heif_image** out) {
  *out = nullptr;
  const auto& stream = static_cast<Av1Decoder*>(decoder)->stream;
  if (stream.empty())
    return heifError(heif_error_Decoder_plugin_error, heif_suberror_End_of_data, "no AV1 data");
  Dav1dSettings settings;
  dav1d_default_settings(&settings);
  // dav1d refuses a larger frame itself, before allocating it.
  settings.frame_size_limit = static_cast<unsigned>(
      std::min<std::uint64_t>(currentFrameLimit(), std::numeric_limits<unsigned>::max()));
  settings.max_frame_delay = 1;
  settings.all_layers = 0;
  settings.logger.cookie = nullptr;
  settings.logger.callback = &quietLog;
  Dav1dContext* context = nullptr;
  if (dav1d_open(&context, &settings) < 0)
    return heifError(heif_error_Memory_allocation_error, heif_suberror_Unspecified, "dav1d");
  Dav1dData data{};
  std::uint8_t* buffer = dav1d_data_create(&data, stream.size());
  if (!buffer) {
    dav1d_close(&context);
    return heifError(heif_error_Memory_allocation_error, heif_suberror_Unspecified, "dav1d");
  }
  std::memcpy(buffer, stream.data(), stream.size());
  Dav1dPicture picture{};
  heif_error e = av1Run(context, data, picture);
  if (e.code == heif_error_Ok) {
    if (chargeFrame(static_cast<std::uint64_t>(picture.p.w) *
                    static_cast<std::uint64_t>(picture.p.h)))
      e = av1Picture(picture, out);
    else
      e = kTooLarge;
    dav1d_picture_unref(&picture);
  }
  dav1d_data_unref(&data);
  dav1d_close(&context);
  return e;
}

const heif_decoder_plugin kAv1Plugin = {3,           av1Name,      nullptr,        nullptr,
                                        av1Supports, av1New,       av1Free,        av1Push,
                                        av1Decode,   noStrictMode, "vorlino-dav1d"};

}  // namespace

void registerHeifCodecs() noexcept {
  static const bool done = [] {
    heif_register_decoder_plugin(&kHevcPlugin);
    heif_register_decoder_plugin(&kAv1Plugin);
    return true;
  }();
  (void)done;
}

HeifFrameBudget::HeifFrameBudget(std::uint64_t frameLimit, std::uint64_t totalPixels) noexcept {
  BudgetState& s = budgetState();
  const std::lock_guard<std::mutex> hold(s.lock);
  s.frameLimit = s.active == 0 ? frameLimit : std::min(s.frameLimit, frameLimit);
  s.remaining = s.active == 0 ? totalPixels : s.remaining + totalPixels;
  ++s.active;
}

HeifFrameBudget::~HeifFrameBudget() {
  BudgetState& s = budgetState();
  const std::lock_guard<std::mutex> hold(s.lock);
  if (--s.active == 0) s.frameLimit = s.remaining = 0;
}

}  // namespace vorlino
