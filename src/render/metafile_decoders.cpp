// Metafile decoders: the core player draws through a QPainter onto a white image of the
// picture's natural size, which becomes a 24-bit bitmap.
#include "render/metafile_decoders.h"

#include <QImage>
#include <cstring>

#include "imagefile/metafile/records.h"
#include "render/qpainter_canvas.h"

namespace vorlino {

namespace {

enum class MetafileKind { mkWmf, mkEmf };

CodecResult render(ByteReader& in, Bitmap& out, const DecodeLimits& limits, MetafileKind kind) {
  MetafileLayout layout;
  CodecResult r =
      kind == MetafileKind::mkEmf ? measureEmf(in, layout, limits) : measureWmf(in, layout, limits);
  if (!r.ok()) return r;
  QImage image(layout.width, layout.height, QImage::Format_RGB32);
  if (image.isNull()) return CodecResult::fail(CodecError::ceNoMemory, "no memory for the picture");
  image.setDotsPerMeterX(3780);  // 96 dpi, the scale fonts are sized for
  image.setDotsPerMeterY(3780);
  image.fill(Qt::white);
  {
    QPainterCanvas canvas(image);
    r = kind == MetafileKind::mkEmf ? playEmf(in, layout, canvas, limits)
                                    : playWmf(in, layout, canvas, limits);
  }
  if (!r.ok()) return r;
  Bitmap result;
  result.resetForOverwrite(layout.width, layout.height, 24);
  for (int y = 0; y < layout.height; ++y) {
    const auto* src = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    std::uint8_t* dst = result.row(y);
    for (int x = 0; x < layout.width; ++x, dst += 3) {
      dst[0] = static_cast<std::uint8_t>(qBlue(src[x]));
      dst[1] = static_cast<std::uint8_t>(qGreen(src[x]));
      dst[2] = static_cast<std::uint8_t>(qRed(src[x]));
    }
  }
  out = std::move(result);
  return CodecResult::success();
}

bool looksLikeEmf(const ByteReader& in) {
  const std::uint8_t* p = in.data() + in.position();
  return in.remaining() >= 44 && p[0] == 1 && p[1] == 0 && p[2] == 0 && p[3] == 0 &&
         std::memcmp(p + 40, " EMF", 4) == 0;
}

}  // namespace

CodecResult readWmf(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  return runCodec([&] { return render(in, out, limits, MetafileKind::mkWmf); });
}

CodecResult readEmf(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  return runCodec([&] { return render(in, out, limits, MetafileKind::mkEmf); });
}

CodecResult readWindowsMetafile(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  return looksLikeEmf(in) ? readEmf(in, out, limits) : readWmf(in, out, limits);
}

}  // namespace vorlino
