// Metafile decoders: the core player draws through a QPainter onto a white image of the
// picture's natural size, in the caller's 32-bit pixels; the decoders make those a 24-bit bitmap.
#include "render/metafile_decoders.h"

#include <QImage>
#include <cstring>

#include "imagefile/metafile/records.h"
#include "render/qpainter_canvas.h"

namespace vorlino {

namespace {

enum class MetafileKind { mkWmf, mkEmf };

CodecResult render(ByteReader& in, const DecodeLimits& limits, MetafileKind kind,
                   MetafilePixelsFor pixelsFor, void* context) {
  MetafileLayout layout;
  CodecResult r =
      kind == MetafileKind::mkEmf ? measureEmf(in, layout, limits) : measureWmf(in, layout, limits);
  if (!r.ok()) return r;
  std::size_t stride = 0;
  std::uint8_t* pixels = pixelsFor(context, layout.width, layout.height, &stride);
  if (!pixels) return CodecResult::fail(CodecError::ceNoMemory, "no memory for the picture");
  QImage image(pixels, layout.width, layout.height, static_cast<qsizetype>(stride),
               QImage::Format_RGB32);
  if (image.isNull()) return CodecResult::fail(CodecError::ceNoMemory, "no memory for the picture");
  image.setDotsPerMeterX(3780);  // 96 dpi, the scale fonts are sized for
  image.setDotsPerMeterY(3780);
  image.fill(Qt::white);
  QPainterCanvas canvas(image);
  return kind == MetafileKind::mkEmf ? playEmf(in, layout, canvas, limits)
                                     : playWmf(in, layout, canvas, limits);
}

bool looksLikeEmf(const ByteReader& in) {
  const std::uint8_t* p = in.data() + in.position();
  return in.remaining() >= 44 && p[0] == 1 && p[1] == 0 && p[2] == 0 && p[3] == 0 &&
         std::memcmp(p + 40, " EMF", 4) == 0;
}

}  // namespace

CodecResult renderWmf(ByteReader& in, const DecodeLimits& limits, MetafilePixelsFor pixelsFor,
                      void* context) noexcept {
  return runCodec([&] { return render(in, limits, MetafileKind::mkWmf, pixelsFor, context); });
}

CodecResult renderEmf(ByteReader& in, const DecodeLimits& limits, MetafilePixelsFor pixelsFor,
                      void* context) noexcept {
  return runCodec([&] { return render(in, limits, MetafileKind::mkEmf, pixelsFor, context); });
}

CodecResult renderWindowsMetafile(ByteReader& in, const DecodeLimits& limits,
                                  MetafilePixelsFor pixelsFor, void* context) noexcept {
  return looksLikeEmf(in) ? renderEmf(in, limits, pixelsFor, context)
                          : renderWmf(in, limits, pixelsFor, context);
}

CodecResult readWmf(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  return readMetafileWith(&renderWmf, in, out, limits);
}

CodecResult readEmf(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  return readMetafileWith(&renderEmf, in, out, limits);
}

CodecResult readWindowsMetafile(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  return readMetafileWith(&renderWindowsMetafile, in, out, limits);
}

}  // namespace vorlino
