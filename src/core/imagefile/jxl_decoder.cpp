// JPEG XL reader on libjxl, from memory: bare code streams and the ISO container, lossless and
// lossy (XYB), grey and colour, any sample depth, still or animated.
//
// The first frame (animations coalesced by libjxl) with the file's orientation applied by libjxl,
// asked from libjxl as 8-bit samples: deeper samples are rounded to the nearest 8-bit value there.
// Grey pictures come out as RGB. 24 bits, or 32 bits when the file has an alpha channel. The size
// is checked against the limits before the pixels are decoded; the decoder uses one thread per
// core. libjxl prints a line for each error it meets; those lines are kept off stderr.
#include <memory>
#include <utility>

#include <jxl/decode.h>
#include <jxl/resizable_parallel_runner.h>

#include "imagefile/photo_formats.h"
#include "imagefile/quiet_stderr.h"

namespace vorlino {
namespace {

struct DecoderDestroy {
  void operator()(JxlDecoder* d) const { JxlDecoderDestroy(d); }
};
struct RunnerDestroy {
  void operator()(void* r) const { JxlResizableParallelRunnerDestroy(r); }
};
using JxlDecoderPtr = std::unique_ptr<JxlDecoder, DecoderDestroy>;
using JxlRunnerPtr = std::unique_ptr<void, RunnerDestroy>;

// A decoder over the whole file, input closed: running out of input means a truncated file.
CodecResult openDecoder(const std::uint8_t* data, std::size_t size, int events,
                        JxlDecoderPtr& dec) {
  switch (JxlSignatureCheck(data, size)) {
    case JXL_SIG_INVALID:
      return CodecResult::fail(CodecError::ceSignature, "not a JPEG XL file");
    case JXL_SIG_NOT_ENOUGH_BYTES:
      return CodecResult::fail(CodecError::ceDamaged, "truncated file");
    default:
      break;
  }
  dec.reset(JxlDecoderCreate(nullptr));
  if (!dec) return CodecResult::fail(CodecError::ceNoMemory, "cannot create decoder");
  if (JxlDecoderSubscribeEvents(dec.get(), events) != JXL_DEC_SUCCESS ||
      JxlDecoderSetInput(dec.get(), data, size) != JXL_DEC_SUCCESS)
    return CodecResult::fail(CodecError::ceUnsupported, "libjxl refused the set-up");
  JxlDecoderCloseInput(dec.get());
  return CodecResult::success();
}

CodecResult statusFailure(JxlDecoderStatus status) {
  if (status == JXL_DEC_NEED_MORE_INPUT)
    return CodecResult::fail(CodecError::ceDamaged, "truncated file");
  return CodecResult::fail(CodecError::ceDamaged, "libjxl: bad data");
}

// libjxl writes RGB(A); the program keeps blue first.
void swapRedBlue(Bitmap& pic) {
  const int bytes = pic.bitsPerPixel() / 8;
  for (int y = 0; y < pic.height(); ++y) {
    std::uint8_t* p = pic.row(y);
    for (int x = 0; x < pic.width(); ++x, p += bytes) std::swap(p[0], p[2]);
  }
}

}  // namespace

CodecResult readJxl(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  const QuietStderr quiet;
  return runCodec([&]() -> CodecResult {
    JxlDecoderPtr dec;
    if (auto r = openDecoder(in.data(), in.size(), JXL_DEC_BASIC_INFO | JXL_DEC_FULL_IMAGE, dec);
        !r.ok())
      return r;
    JxlRunnerPtr runner(JxlResizableParallelRunnerCreate(nullptr));
    if (!runner || JxlDecoderSetParallelRunner(dec.get(), JxlResizableParallelRunner,
                                               runner.get()) != JXL_DEC_SUCCESS)
      return CodecResult::fail(CodecError::ceNoMemory, "cannot create threads");

    Bitmap pic;
    JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 4};
    for (;;) {
      const JxlDecoderStatus status = JxlDecoderProcessInput(dec.get());
      switch (status) {
        case JXL_DEC_BASIC_INFO: {
          JxlBasicInfo info;
          if (JxlDecoderGetBasicInfo(dec.get(), &info) != JXL_DEC_SUCCESS)
            return CodecResult::fail(CodecError::ceDamaged, "no basic info");
          if (auto r = checkDimensions(info.xsize, info.ysize, limits); !r.ok()) return r;
          format.num_channels = info.alpha_bits > 0 ? 4 : 3;
          pic.resetForOverwrite(static_cast<int>(info.xsize), static_cast<int>(info.ysize),
                                info.alpha_bits > 0 ? 32 : 24);
          JxlResizableParallelRunnerSetThreads(
              runner.get(), JxlResizableParallelRunnerSuggestThreads(info.xsize, info.ysize));
          break;
        }
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
          std::size_t needed = 0;
          if (pic.empty() ||
              JxlDecoderImageOutBufferSize(dec.get(), &format, &needed) != JXL_DEC_SUCCESS ||
              needed > pic.byteCount())
            return CodecResult::fail(CodecError::ceDamaged, "frame larger than the picture");
          if (JxlDecoderSetImageOutBuffer(dec.get(), &format, pic.bits(), needed) !=
              JXL_DEC_SUCCESS)
            return CodecResult::fail(CodecError::ceDamaged, "output refused");
          break;
        }
        case JXL_DEC_FULL_IMAGE:
          // The first frame is all the program shows.
          swapRedBlue(pic);
          out.swap(pic);
          return CodecResult::success();
        case JXL_DEC_SUCCESS:
          return CodecResult::fail(CodecError::ceDamaged, "no frame");
        default:
          return statusFailure(status);
      }
    }
  });
}

std::vector<std::uint8_t> jxlIccProfile(const std::uint8_t* data, std::size_t size) noexcept {
  const QuietStderr quiet;
  try {
    JxlDecoderPtr dec;
    if (!openDecoder(data, size, JXL_DEC_COLOR_ENCODING, dec).ok()) return {};
    if (JxlDecoderProcessInput(dec.get()) != JXL_DEC_COLOR_ENCODING) return {};
    std::size_t bytes = 0;
    if (JxlDecoderGetICCProfileSize(dec.get(), nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &bytes) !=
            JXL_DEC_SUCCESS ||
        bytes == 0)
      return {};
    std::vector<std::uint8_t> profile(bytes);
    if (JxlDecoderGetColorAsICCProfile(dec.get(), nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                       profile.data(), bytes) != JXL_DEC_SUCCESS)
      return {};
    return profile;
  } catch (...) {
    return {};
  }
}

}  // namespace vorlino
