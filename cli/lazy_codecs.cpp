// The HEIF, AVIF and JPEG XL libraries opened when a picture first needs them, not when the
// program starts: loading them (and the AV1 and HEVC codecs they bring) took about half of the
// start-up of vorlino-cli, whose runs mostly read JPEG photos. Each function the core calls is
// defined here with the library's own prototype; the first call of any opens the library and every
// call goes to the library's function. The program is linked with --as-needed, so the libraries
// are no longer in its list of needed libraries (see CMakeLists.txt). A library that cannot be
// opened ends the program as the dynamic loader would have at start.
#include <dav1d/dav1d.h>
#include <dlfcn.h>
#include <jxl/decode.h>
#include <jxl/resizable_parallel_runner.h>
#include <libde265/de265.h>
#include <libheif/heif.h>
#include <libheif/heif_plugin.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <string>

namespace {

struct LazyLibrary {
  const char* soname;
  void* handle = nullptr;
  std::string failure;
  std::once_flag opened;
};

LazyLibrary kHeif{VORLINO_SONAME_HEIF};
LazyLibrary kDe265{VORLINO_SONAME_DE265};
LazyLibrary kDav1d{VORLINO_SONAME_DAV1D};
LazyLibrary kJxl{VORLINO_SONAME_JXL};
LazyLibrary kJxlThreads{VORLINO_SONAME_JXL_THREADS};

// The library's own function of that name (never this file's: the handle's, not the program's).
void* symbolOf(LazyLibrary& library, const char* name) {
  std::call_once(library.opened, [&] {
    library.handle = dlopen(library.soname, RTLD_NOW | RTLD_LOCAL);
    if (!library.handle) library.failure = dlerror();
  });
  void* symbol = library.handle ? dlsym(library.handle, name) : nullptr;
  if (!symbol) {
    const std::string why =
        library.handle ? std::string(library.soname) + ": no symbol " + name : library.failure;
    std::fprintf(stderr, "vorlino-cli: error while loading shared libraries: %s\n", why.c_str());
    _exit(127);
  }
  return symbol;
}

}  // namespace

#define VORLINO_LAZY(library, result, name, params, args)                                 \
  extern "C" result name params {                                                         \
    static const auto real = reinterpret_cast<decltype(&name)>(symbolOf(library, #name)); \
    return real args;                                                                     \
  }

// The parameters as the headers declare them.
// clang-format off
VORLINO_LAZY(kJxl, void, JxlDecoderCloseInput, (JxlDecoder* a), (a))
VORLINO_LAZY(kJxl, JxlDecoder*, JxlDecoderCreate, (const JxlMemoryManager* a), (a))
VORLINO_LAZY(kJxl, void, JxlDecoderDestroy, (JxlDecoder* a), (a))
VORLINO_LAZY(kJxl, JxlDecoderStatus, JxlDecoderGetBasicInfo, (const JxlDecoder* a, JxlBasicInfo* b),
             (a, b))
VORLINO_LAZY(kJxl, JxlDecoderStatus, JxlDecoderGetColorAsICCProfile,
             (const JxlDecoder* a, const JxlPixelFormat* b, JxlColorProfileTarget c, uint8_t* d,
              size_t e),
             (a, b, c, d, e))
VORLINO_LAZY(kJxl, JxlDecoderStatus, JxlDecoderGetICCProfileSize,
             (const JxlDecoder* a, const JxlPixelFormat* b, JxlColorProfileTarget c, size_t* d),
             (a, b, c, d))
VORLINO_LAZY(kJxl, JxlDecoderStatus, JxlDecoderImageOutBufferSize,
             (const JxlDecoder* a, const JxlPixelFormat* b, size_t* c), (a, b, c))
VORLINO_LAZY(kJxl, JxlDecoderStatus, JxlDecoderProcessInput, (JxlDecoder* a), (a))
VORLINO_LAZY(kJxl, JxlDecoderStatus, JxlDecoderSetImageOutBuffer,
             (JxlDecoder* a, const JxlPixelFormat* b, void* c, size_t d), (a, b, c, d))
VORLINO_LAZY(kJxl, JxlDecoderStatus, JxlDecoderSetInput,
             (JxlDecoder* a, const uint8_t* b, size_t c), (a, b, c))
VORLINO_LAZY(kJxl, JxlDecoderStatus, JxlDecoderSetParallelRunner,
             (JxlDecoder* a, JxlParallelRunner b, void* c), (a, b, c))
VORLINO_LAZY(kJxl, JxlDecoderStatus, JxlDecoderSubscribeEvents, (JxlDecoder* a, int b), (a, b))
VORLINO_LAZY(kJxlThreads, JxlParallelRetCode, JxlResizableParallelRunner,
             (void* a, void* b, JxlParallelRunInit c, JxlParallelRunFunction d, uint32_t e,
              uint32_t f),
             (a, b, c, d, e, f))
VORLINO_LAZY(kJxlThreads, void*, JxlResizableParallelRunnerCreate, (const JxlMemoryManager* a), (a))
VORLINO_LAZY(kJxlThreads, void, JxlResizableParallelRunnerDestroy, (void* a), (a))
VORLINO_LAZY(kJxlThreads, void, JxlResizableParallelRunnerSetThreads, (void* a, size_t b), (a, b))
VORLINO_LAZY(kJxlThreads, uint32_t, JxlResizableParallelRunnerSuggestThreads,
             (uint64_t a, uint64_t b), (a, b))
VORLINO_LAZY(kJxl, JxlSignature, JxlSignatureCheck, (const uint8_t* a, size_t b), (a, b))
VORLINO_LAZY(kDav1d, void, dav1d_close, (Dav1dContext** a), (a))
VORLINO_LAZY(kDav1d, uint8_t*, dav1d_data_create, (Dav1dData* a, size_t b), (a, b))
VORLINO_LAZY(kDav1d, void, dav1d_data_unref, (Dav1dData* a), (a))
VORLINO_LAZY(kDav1d, void, dav1d_default_settings, (Dav1dSettings* a), (a))
VORLINO_LAZY(kDav1d, int, dav1d_get_picture, (Dav1dContext* a, Dav1dPicture* b), (a, b))
VORLINO_LAZY(kDav1d, int, dav1d_open, (Dav1dContext** a, const Dav1dSettings* b), (a, b))
VORLINO_LAZY(kDav1d, void, dav1d_picture_unref, (Dav1dPicture* a), (a))
VORLINO_LAZY(kDav1d, int, dav1d_send_data, (Dav1dContext* a, Dav1dData* b), (a, b))
VORLINO_LAZY(kDe265, de265_error, de265_decode, (de265_decoder_context* a, int* b), (a, b))
VORLINO_LAZY(kDe265, de265_error, de265_flush_data, (de265_decoder_context* a), (a))
VORLINO_LAZY(kDe265, de265_error, de265_free_decoder, (de265_decoder_context* a), (a))
VORLINO_LAZY(kDe265, int, de265_get_bits_per_pixel, (const de265_image* a, int b), (a, b))
VORLINO_LAZY(kDe265, de265_chroma, de265_get_chroma_format, (const de265_image* a), (a))
VORLINO_LAZY(kDe265, const de265_image_allocation*, de265_get_default_image_allocation_functions,
             (), ())
VORLINO_LAZY(kDe265, int, de265_get_image_height, (const de265_image* a, int b), (a, b))
VORLINO_LAZY(kDe265, const uint8_t*, de265_get_image_plane, (const de265_image* a, int b, int* c),
             (a, b, c))
VORLINO_LAZY(kDe265, int, de265_get_image_width, (const de265_image* a, int b), (a, b))
VORLINO_LAZY(kDe265, const de265_image*, de265_get_next_picture, (de265_decoder_context* a), (a))
VORLINO_LAZY(kDe265, de265_decoder_context*, de265_new_decoder, (), ())
VORLINO_LAZY(kDe265, de265_error, de265_push_NAL,
             (de265_decoder_context* a, const void* b, int c, de265_PTS d, void* e),
             (a, b, c, d, e))
VORLINO_LAZY(kDe265, void, de265_release_next_picture, (de265_decoder_context* a), (a))
VORLINO_LAZY(kDe265, void, de265_set_image_allocation_functions,
             (de265_decoder_context* a, de265_image_allocation* b, void* c), (a, b, c))
VORLINO_LAZY(kDe265, void, de265_set_parameter_bool,
             (de265_decoder_context* a, de265_param b, int c), (a, b, c))
VORLINO_LAZY(kDe265, de265_error, de265_start_worker_threads, (de265_decoder_context* a, int b),
             (a, b))
VORLINO_LAZY(kHeif, heif_context*, heif_context_alloc, (), ())
VORLINO_LAZY(kHeif, void, heif_context_free, (heif_context* a), (a))
VORLINO_LAZY(kHeif, heif_error, heif_context_get_primary_image_handle,
             (heif_context* a, heif_image_handle** b), (a, b))
VORLINO_LAZY(kHeif, heif_error, heif_context_read_from_memory_without_copy,
             (heif_context* a, const void* b, size_t c, const heif_reading_options* d),
             (a, b, c, d))
VORLINO_LAZY(kHeif, void, heif_context_set_maximum_image_size_limit, (heif_context* a, int b),
             (a, b))
VORLINO_LAZY(kHeif, heif_error, heif_decode_image,
             (const heif_image_handle* a, heif_image** b, heif_colorspace c, heif_chroma d,
              const heif_decoding_options* e),
             (a, b, c, d, e))
VORLINO_LAZY(kHeif, heif_decoding_options*, heif_decoding_options_alloc, (), ())
VORLINO_LAZY(kHeif, void, heif_decoding_options_free, (heif_decoding_options* a), (a))
VORLINO_LAZY(kHeif, heif_error, heif_image_add_plane,
             (heif_image* a, heif_channel b, int c, int d, int e), (a, b, c, d, e))
VORLINO_LAZY(kHeif, heif_error, heif_image_create,
             (int a, int b, heif_colorspace c, heif_chroma d, heif_image** e), (a, b, c, d, e))
VORLINO_LAZY(kHeif, int, heif_image_get_bits_per_pixel_range, (const heif_image* a, heif_channel b),
             (a, b))
VORLINO_LAZY(kHeif, int, heif_image_get_height, (const heif_image* a, heif_channel b), (a, b))
VORLINO_LAZY(kHeif, uint8_t*, heif_image_get_plane, (heif_image* a, heif_channel b, int* c),
             (a, b, c))
VORLINO_LAZY(kHeif, const uint8_t*, heif_image_get_plane_readonly,
             (const heif_image* a, heif_channel b, int* c), (a, b, c))
VORLINO_LAZY(kHeif, int, heif_image_get_width, (const heif_image* a, heif_channel b), (a, b))
VORLINO_LAZY(kHeif, heif_color_profile_type, heif_image_handle_get_color_profile_type,
             (const heif_image_handle* a), (a))
VORLINO_LAZY(kHeif, int, heif_image_handle_get_height, (const heif_image_handle* a), (a))
VORLINO_LAZY(kHeif, int, heif_image_handle_get_luma_bits_per_pixel, (const heif_image_handle* a),
             (a))
VORLINO_LAZY(kHeif, heif_error, heif_image_handle_get_nclx_color_profile,
             (const heif_image_handle* a, heif_color_profile_nclx** b), (a, b))
VORLINO_LAZY(kHeif, heif_error, heif_image_handle_get_raw_color_profile,
             (const heif_image_handle* a, void* b), (a, b))
VORLINO_LAZY(kHeif, size_t, heif_image_handle_get_raw_color_profile_size,
             (const heif_image_handle* a), (a))
VORLINO_LAZY(kHeif, int, heif_image_handle_get_width, (const heif_image_handle* a), (a))
VORLINO_LAZY(kHeif, int, heif_image_handle_has_alpha_channel, (const heif_image_handle* a), (a))
VORLINO_LAZY(kHeif, void, heif_image_handle_release, (const heif_image_handle* a), (a))
VORLINO_LAZY(kHeif, void, heif_image_release, (const heif_image* a), (a))
VORLINO_LAZY(kHeif, heif_error, heif_image_set_nclx_color_profile,
             (heif_image* a, const heif_color_profile_nclx* b), (a, b))
VORLINO_LAZY(kHeif, heif_error, heif_init, (heif_init_params* a), (a))
VORLINO_LAZY(kHeif, heif_color_profile_nclx*, heif_nclx_color_profile_alloc, (), ())
VORLINO_LAZY(kHeif, void, heif_nclx_color_profile_free, (heif_color_profile_nclx* a), (a))
VORLINO_LAZY(kHeif, heif_error, heif_nclx_color_profile_set_color_primaries,
             (heif_color_profile_nclx* a, uint16_t b), (a, b))
VORLINO_LAZY(kHeif, heif_error, heif_nclx_color_profile_set_matrix_coefficients,
             (heif_color_profile_nclx* a, uint16_t b), (a, b))
VORLINO_LAZY(kHeif, heif_error, heif_nclx_color_profile_set_transfer_characteristics,
             (heif_color_profile_nclx* a, uint16_t b), (a, b))
VORLINO_LAZY(kHeif, heif_error, heif_register_decoder_plugin, (const heif_decoder_plugin* a), (a))
// clang-format on
