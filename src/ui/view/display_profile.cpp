#include "view/display_profile.h"

#include <lcms2.h>
#include <xcb/xcb.h>
#include <QGuiApplication>
#include <algorithm>
#include <cstdlib>

#include "parallel/parallel.h"

namespace vorlino {

// For matrix-shaper profiles on both sides (most camera and screen profiles) the conversion is
// curves to linear light, one 3 x 3 matrix and curves back, as lcms2 itself reduces it; done here
// with float tables it runs about three times faster than lcms2's general 8-bit path. Used only
// where it agrees with lcms2 within one level over a test grid.
struct MatrixShaper {
  float toLinear[3][256];            // red, green, blue
  float matrix[9];                   // screen linear RGB from picture linear RGB, row-major
  std::vector<std::uint8_t> encode;  // 3 x 65536: linear light (16 bits) to the screen's levels

  void apply(const std::uint8_t* in, std::uint8_t* out, int pixels) const {
    const float* m = matrix;
    const std::uint8_t* er = encode.data();
    const std::uint8_t* eg = er + 65536;
    const std::uint8_t* eb = eg + 65536;
    auto index = [](float v) {
      v = v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
      return static_cast<int>(v * 65535.0f + 0.5f);
    };
    for (int i = 0; i < pixels; ++i, in += 3, out += 3) {
      const float b = toLinear[2][in[0]], g = toLinear[1][in[1]], r = toLinear[0][in[2]];
      out[2] = er[index(m[0] * r + m[1] * g + m[2] * b)];
      out[1] = eg[index(m[3] * r + m[4] * g + m[5] * b)];
      out[0] = eb[index(m[6] * r + m[7] * g + m[8] * b)];
    }
  }
};

// One lcms2 context (its errors silenced) and the 8-bit blue-green-red transform made in it, with
// the faster matrix-shaper form when there is one.
struct TDisplayProfile::Transform {
  cmsContext context = nullptr;
  cmsHTRANSFORM transform = nullptr;
  std::unique_ptr<MatrixShaper> fast;
  ~Transform() {
    if (transform) cmsDeleteTransform(transform);
    if (context) cmsDeleteContext(context);
  }
  void apply(const std::uint8_t* in, std::uint8_t* out, int pixels, int rows, std::size_t inStride,
             std::size_t outStride) const {
    if (fast) {
      for (int y = 0; y < rows; ++y) fast->apply(in + y * inStride, out + y * outStride, pixels);
      return;
    }
    applyLcms(in, out, pixels, rows, inStride, outStride);
  }
  void applyLcms(const std::uint8_t* in, std::uint8_t* out, int pixels, int rows,
                 std::size_t inStride, std::size_t outStride) const {
    cmsDoTransformLineStride(transform, in, out, static_cast<cmsUInt32Number>(pixels),
                             static_cast<cmsUInt32Number>(rows),
                             static_cast<cmsUInt32Number>(inStride),
                             static_cast<cmsUInt32Number>(outStride), 0, 0);
  }
  bool nearlyIdentity() const;
  void tryMatrixShaper(cmsHPROFILE in, cmsHPROFILE out);
};

namespace {

void silentLog(cmsContext, cmsUInt32Number, const char*) {}

struct ProfileClose {
  void operator()(void* p) const {
    if (p) cmsCloseProfile(p);
  }
};
using Profile = std::unique_ptr<void, ProfileClose>;

Profile openProfile(cmsContext context, const std::vector<std::uint8_t>& icc) {
  if (icc.empty()) return Profile(cmsCreate_sRGBProfileTHR(context));
  return Profile(
      cmsOpenProfileFromMemTHR(context, icc.data(), static_cast<cmsUInt32Number>(icc.size())));
}

}  // namespace

TDisplayProfile::TDisplayProfile() = default;
TDisplayProfile::~TDisplayProfile() = default;

void TDisplayProfile::SetSourceProfile(std::vector<std::uint8_t> icc) {
  if (icc == source_) return;
  source_ = std::move(icc);
  Rebuild();
}

void TDisplayProfile::SetScreenProfile(std::vector<std::uint8_t> icc) {
  if (icc == screen_) return;
  screen_ = std::move(icc);
  Rebuild();
}

bool TDisplayProfile::Active() const {
  return transform_ != nullptr;
}

void TDisplayProfile::Rebuild() {
  transform_.reset();
  shown_.clear();
  shownFrom_ = nullptr;
  stale_ = true;
  if (source_.empty() || source_ == screen_) return;
  auto t = std::make_unique<Transform>();
  t->context = cmsCreateContext(nullptr, nullptr);
  if (!t->context) return;
  cmsSetLogErrorHandlerTHR(t->context, silentLog);
  const Profile in = openProfile(t->context, source_);
  const Profile out = openProfile(t->context, screen_);
  if (!in || !out || cmsGetColorSpace(in.get()) != cmsSigRgbData ||
      cmsGetColorSpace(out.get()) != cmsSigRgbData)
    return;
  // No cache: the transform is then safe to run on several rows at once.
  t->transform = cmsCreateTransformTHR(t->context, in.get(), TYPE_BGR_8, out.get(), TYPE_BGR_8,
                                       INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
  if (!t->transform) return;
  t->tryMatrixShaper(in.get(), out.get());
  if (t->nearlyIdentity()) return;
  transform_ = std::move(t);
}

// The 17-level colour cube and the grey ramp, blue-green-red: where conversions are compared.
std::vector<std::uint8_t> testGrid() {
  std::vector<std::uint8_t> samples;
  for (int b = 0; b <= 256; b += 16)
    for (int g = 0; g <= 256; g += 16)
      for (int r = 0; r <= 256; r += 16)
        for (int v : {b, g, r}) samples.push_back(static_cast<std::uint8_t>(std::min(v, 255)));
  for (int v = 0; v < 256; ++v) samples.insert(samples.end(), 3, static_cast<std::uint8_t>(v));
  return samples;
}

int largestDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  int d = 0;
  for (std::size_t i = 0; i < a.size(); ++i) d = std::max(d, std::abs(int(a[i]) - int(b[i])));
  return d;
}

// True when the transform moves no sample of the test grid by more than one level: an sRGB
// profile under another name, shown as it is.
bool TDisplayProfile::Transform::nearlyIdentity() const {
  const std::vector<std::uint8_t> samples = testGrid();
  std::vector<std::uint8_t> converted(samples.size());
  const int pixels = static_cast<int>(samples.size() / 3);
  apply(samples.data(), converted.data(), pixels, 1, samples.size(), converted.size());
  return largestDifference(samples, converted) <= 1;
}

void TDisplayProfile::Transform::tryMatrixShaper(cmsHPROFILE in, cmsHPROFILE out) {
  if (!cmsIsMatrixShaper(in) || !cmsIsMatrixShaper(out)) return;
  static constexpr cmsTagSignature kCurves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag,
                                                 cmsSigBlueTRCTag};
  static constexpr cmsTagSignature kColorants[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                                    cmsSigBlueColorantTag};
  auto shaper = std::make_unique<MatrixShaper>();
  double from[9], to[9];  // XYZ from linear RGB, columns red, green, blue
  for (int c = 0; c < 3; ++c) {
    const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(in, kCurves[c]));
    const auto* a = static_cast<const cmsCIEXYZ*>(cmsReadTag(in, kColorants[c]));
    const auto* b = static_cast<const cmsCIEXYZ*>(cmsReadTag(out, kColorants[c]));
    if (!curve || !a || !b) return;
    for (int v = 0; v < 256; ++v)
      shaper->toLinear[c][v] =
          cmsEvalToneCurveFloat(curve, static_cast<cmsFloat32Number>(v / 255.0));
    from[c] = a->X, from[3 + c] = a->Y, from[6 + c] = a->Z;
    to[c] = b->X, to[3 + c] = b->Y, to[6 + c] = b->Z;
  }
  // The inverse of the screen's matrix, by cofactors.
  const double det = to[0] * (to[4] * to[8] - to[5] * to[7]) -
                     to[1] * (to[3] * to[8] - to[5] * to[6]) +
                     to[2] * (to[3] * to[7] - to[4] * to[6]);
  if (std::abs(det) < 1e-9) return;
  const double inv[9] = {
      (to[4] * to[8] - to[5] * to[7]) / det, (to[2] * to[7] - to[1] * to[8]) / det,
      (to[1] * to[5] - to[2] * to[4]) / det, (to[5] * to[6] - to[3] * to[8]) / det,
      (to[0] * to[8] - to[2] * to[6]) / det, (to[2] * to[3] - to[0] * to[5]) / det,
      (to[3] * to[7] - to[4] * to[6]) / det, (to[1] * to[6] - to[0] * to[7]) / det,
      (to[0] * to[4] - to[1] * to[3]) / det};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      shaper->matrix[3 * r + c] = static_cast<float>(
          inv[3 * r] * from[c] + inv[3 * r + 1] * from[3 + c] + inv[3 * r + 2] * from[6 + c]);
  shaper->encode.resize(3 * 65536);
  for (int c = 0; c < 3; ++c) {
    const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(out, kCurves[c]));
    if (!curve) return;
    cmsToneCurve* reverse = cmsReverseToneCurve(curve);
    if (!reverse) return;
    for (int i = 0; i < 65536; ++i) {
      const int level = cmsEvalToneCurve16(reverse, static_cast<cmsUInt16Number>(i));
      shaper->encode[static_cast<std::size_t>(c) * 65536 + static_cast<std::size_t>(i)] =
          static_cast<std::uint8_t>((level * 255 + 32767) / 65535);
    }
    cmsFreeToneCurve(reverse);
  }
  // Kept only when it gives what lcms2 gives.
  const std::vector<std::uint8_t> samples = testGrid();
  std::vector<std::uint8_t> mine(samples.size()), theirs(samples.size());
  const int pixels = static_cast<int>(samples.size() / 3);
  shaper->apply(samples.data(), mine.data(), pixels);
  applyLcms(samples.data(), theirs.data(), pixels, 1, samples.size(), theirs.size());
  if (largestDifference(mine, theirs) <= 1) fast = std::move(shaper);
}

namespace {

// The transparent colour must stay where it is and appear nowhere else: a converted pixel that
// lands on it is moved by one level of blue.
void keepTransparentColour(const Bitmap& picture, Bitmap& shown) {
  const Color key = ColorToRGB(picture.TransparentColor);
  const std::uint8_t kb = blueOf(key), kg = greenOf(key), kr = redOf(key);
  for (int y = 0; y < picture.height(); ++y) {
    const std::uint8_t* s = picture.row(y);
    std::uint8_t* d = shown.row(y);
    for (int x = 0; x < picture.width(); ++x, s += 3, d += 3) {
      if (s[0] == kb && s[1] == kg && s[2] == kr) {
        d[0] = kb, d[1] = kg, d[2] = kr;
      } else if (d[0] == kb && d[1] == kg && d[2] == kr) {
        d[0] = static_cast<std::uint8_t>(kb == 255 ? 254 : kb + 1);
      }
    }
  }
}

}  // namespace

const Bitmap& TDisplayProfile::Shown(const Bitmap& picture) {
  if (!transform_ || picture.empty()) return picture;
  if (!stale_ && shownFrom_ == &picture && shown_.width() == picture.width() &&
      shown_.height() == picture.height() && shown_.Transparent == picture.Transparent &&
      shown_.TransparentColor == picture.TransparentColor)
    return shown_;
  const Transform& t = *transform_;
  if (picture.isPaletted()) {
    // Only the colours of the palette change.
    shown_.assign(picture);
    auto& palette = shown_.palette();
    std::vector<std::uint8_t> colours;
    for (const PaletteColor& c : palette) colours.insert(colours.end(), {c.blue, c.green, c.red});
    std::vector<std::uint8_t> converted(colours.size());
    const int n = static_cast<int>(palette.size());
    t.apply(colours.data(), converted.data(), n, 1, colours.size(), converted.size());
    const Color key = ColorToRGB(picture.TransparentColor);
    for (int i = 0; i < n; ++i) {
      PaletteColor c{converted[3 * i], converted[3 * i + 1], converted[3 * i + 2], 0};
      if (picture.Transparent && toColor(palette[i]) == key)
        c = palette[i];
      else if (picture.Transparent && toColor(c) == key)
        c.blue = static_cast<std::uint8_t>(c.blue == 255 ? 254 : c.blue + 1);
      palette[i] = c;
    }
  } else {
    const Bitmap* from = &picture;
    Bitmap wide;
    if (picture.bitsPerPixel() != 24) {
      wide.assign(picture);
      wide.convertTo24();
      from = &wide;
    }
    shown_.resetForOverwrite(picture.width(), picture.height(), 24);
    parallelRows(picture.height(), picture.width(), [&](int begin, int end) {
      t.apply(from->row(begin), shown_.row(begin), from->width(), end - begin, from->stride(),
              shown_.stride());
    });
    shown_.Transparent = picture.Transparent;
    shown_.TransparentColor = picture.TransparentColor;
    if (picture.Transparent) keepTransparentColour(*from, shown_);
  }
  shownFrom_ = &picture;
  stale_ = false;
  return shown_;
}

std::vector<std::uint8_t> ScreenIccProfile() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
  if (!connection) return {};
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  if (!screen) return {};
  static constexpr char kName[] = "_ICC_PROFILE";
  xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 1, sizeof kName - 1, kName), nullptr);
  if (!atom) return {};
  const xcb_atom_t name = atom->atom;
  std::free(atom);
  if (name == XCB_ATOM_NONE) return {};
  // A profile is a few kilobytes; 16 MB (in 4-byte units) is more than any.
  xcb_get_property_reply_t* reply = xcb_get_property_reply(
      connection,
      xcb_get_property(connection, 0, screen->root, name, XCB_GET_PROPERTY_TYPE_ANY, 0, 1u << 22),
      nullptr);
  if (!reply) return {};
  std::vector<std::uint8_t> icc;
  if (reply->format == 8) {
    const auto* bytes = static_cast<const std::uint8_t*>(xcb_get_property_value(reply));
    icc.assign(bytes, bytes + xcb_get_property_value_length(reply));
  }
  std::free(reply);
  return icc;
}

}  // namespace vorlino
