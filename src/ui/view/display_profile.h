// Colour-managed display: the pixels of a picture tagged with an ICC profile, converted with lcms2
// from that profile to the screen's (sRGB when the screen publishes none), for drawing only.
//
// The working bitmap, saves and every algorithm keep the file's own values; the view draws the
// converted copy this object keeps instead. The copy is made on the first draw after the bitmap
// changed and reused until the next change, so a repaint costs what it cost without colour
// management. A picture whose profile is sRGB-like (the conversion would move no sample by more
// than one level), an untagged picture, a profile that is not RGB or cannot be read, cost nothing:
// Shown() hands back the bitmap itself, with no conversion and no copy.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "bitmap/bitmap.h"

namespace vorlino {

class TDisplayProfile {
 public:
  TDisplayProfile();
  ~TDisplayProfile();
  TDisplayProfile(const TDisplayProfile&) = delete;
  TDisplayProfile& operator=(const TDisplayProfile&) = delete;

  // The ICC profile of the picture's pixels, as embedded in its file; empty for an untagged one.
  void SetSourceProfile(std::vector<std::uint8_t> icc);
  const std::vector<std::uint8_t>& SourceProfile() const { return source_; }
  // The profile of the screen; empty for sRGB.
  void SetScreenProfile(std::vector<std::uint8_t> icc);

  // Whether pixels are converted for display at all.
  bool Active() const;
  // The bitmap to draw for `picture`: `picture` itself when nothing is converted, otherwise the
  // converted copy, made now when Invalidate() was called since the last one (or the picture is
  // another, or changed its size or depth). A transparent picture keeps its transparent colour
  // exactly where it has it, and nowhere else. The result stays valid until the next call.
  const Bitmap& Shown(const Bitmap& picture);
  // The picture's pixels changed: the next Shown() converts again.
  void Invalidate() { stale_ = true; }

 private:
  struct Transform;
  void Rebuild();

  std::vector<std::uint8_t> source_;
  std::vector<std::uint8_t> screen_;
  std::unique_ptr<Transform> transform_;  // null when nothing is converted
  Bitmap shown_;
  const Bitmap* shownFrom_ = nullptr;
  bool stale_ = true;
};

// The screen's ICC profile as the X server publishes it (the _ICC_PROFILE property of the root
// window of the first screen), or empty: another platform, no X server, no profile.
std::vector<std::uint8_t> ScreenIccProfile();

}  // namespace vorlino
