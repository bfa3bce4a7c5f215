#include "view/display_profile.h"

#include <lcms2.h>
#include <xcb/xcb.h>
#include <QGuiApplication>
#include <algorithm>
#include <cstdlib>

#include "parallel/parallel.h"

namespace vorlino {

// One lcms2 context (its errors silenced) and the 8-bit blue-green-red transform made in it.
struct TDisplayProfile::Transform {
  cmsContext context = nullptr;
  cmsHTRANSFORM transform = nullptr;
  ~Transform() {
    if (transform) cmsDeleteTransform(transform);
    if (context) cmsDeleteContext(context);
  }
  void apply(const std::uint8_t* in, std::uint8_t* out, int pixels, int rows, std::size_t inStride,
             std::size_t outStride) const {
    cmsDoTransformLineStride(transform, in, out, static_cast<cmsUInt32Number>(pixels),
                             static_cast<cmsUInt32Number>(rows),
                             static_cast<cmsUInt32Number>(inStride),
                             static_cast<cmsUInt32Number>(outStride), 0, 0);
  }
  bool nearlyIdentity() const;
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
  if (!t->transform || t->nearlyIdentity()) return;
  transform_ = std::move(t);
}

// True when the transform moves no sample of a 17-level colour cube nor of the grey ramp by more
// than one level: an sRGB profile under another name, shown as it is.
bool TDisplayProfile::Transform::nearlyIdentity() const {
  std::vector<std::uint8_t> samples;
  for (int b = 0; b <= 256; b += 16)
    for (int g = 0; g <= 256; g += 16)
      for (int r = 0; r <= 256; r += 16)
        for (int v : {b, g, r}) samples.push_back(static_cast<std::uint8_t>(std::min(v, 255)));
  for (int v = 0; v < 256; ++v) samples.insert(samples.end(), 3, static_cast<std::uint8_t>(v));
  std::vector<std::uint8_t> converted(samples.size());
  const int pixels = static_cast<int>(samples.size() / 3);
  apply(samples.data(), converted.data(), pixels, 1, samples.size(), converted.size());
  for (std::size_t i = 0; i < samples.size(); ++i)
    if (std::abs(int(samples[i]) - int(converted[i])) > 1) return false;
  return true;
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
