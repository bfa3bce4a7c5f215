// Clipping regions as lists of disjoint rectangles, and the drawing recorder.
#include "imagefile/metafile/canvas.h"

#include <algorithm>
#include <cmath>

namespace vorlino {

namespace {

MfRect intersection(const MfRect& a, const MfRect& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

// Appends the parts of r outside cut (at most four bands).
void appendDifference(const MfRect& r, const MfRect& cut, std::vector<MfRect>& out) {
  const MfRect in = intersection(r, cut);
  if (in.empty()) {
    out.push_back(r);
    return;
  }
  if (r.top < in.top) out.push_back({r.left, r.top, r.right, in.top});
  if (in.bottom < r.bottom) out.push_back({r.left, in.bottom, r.right, r.bottom});
  if (r.left < in.left) out.push_back({r.left, in.top, in.left, in.bottom});
  if (in.right < r.right) out.push_back({in.right, in.top, r.right, in.bottom});
}

}  // namespace

MfRect MfRegion::bounds() const {
  if (rects_.empty()) return {};
  MfRect b = rects_.front();
  for (const MfRect& r : rects_) {
    b.left = std::min(b.left, r.left);
    b.top = std::min(b.top, r.top);
    b.right = std::max(b.right, r.right);
    b.bottom = std::max(b.bottom, r.bottom);
  }
  return b;
}

void MfRegion::limit() {
  if (rects_.size() > kMaxRects) rects_.assign(1, bounds());
}

void MfRegion::intersect(const MfRegion& other) {
  std::vector<MfRect> out;
  for (const MfRect& a : rects_) {
    for (const MfRect& b : other.rects_) {
      const MfRect r = intersection(a, b);
      if (!r.empty()) out.push_back(r);
      if (out.size() > kMaxRects) break;
    }
    if (out.size() > kMaxRects) break;
  }
  rects_ = std::move(out);
  limit();
}

void MfRegion::subtract(const MfRegion& other) {
  for (const MfRect& cut : other.rects_) {
    std::vector<MfRect> out;
    for (const MfRect& r : rects_) appendDifference(r, cut, out);
    rects_ = std::move(out);
    if (rects_.size() > kMaxRects) break;
  }
  limit();
}

void MfRegion::unite(const MfRegion& other) {
  MfRegion extra = other;
  extra.subtract(*this);
  rects_.insert(rects_.end(), extra.rects_.begin(), extra.rects_.end());
  limit();
}

void MfRegion::exclusiveOr(const MfRegion& other) {
  MfRegion both = *this;
  both.intersect(other);
  unite(other);
  subtract(both);
}

void MfRegion::offset(int dx, int dy) {
  for (MfRect& r : rects_) {
    r.left += dx;
    r.right += dx;
    r.top += dy;
    r.bottom += dy;
  }
}

void MetafileRecorder::add(MfPoint p) {
  if (!std::isfinite(p.x) || !std::isfinite(p.y)) return;
  if (!hasBounds_) {
    minX_ = maxX_ = p.x;
    minY_ = maxY_ = p.y;
    hasBounds_ = true;
    return;
  }
  minX_ = std::min(minX_, p.x);
  maxX_ = std::max(maxX_, p.x);
  minY_ = std::min(minY_, p.y);
  maxY_ = std::max(maxY_, p.y);
}

void MetafileRecorder::fillPath(const MfPath& path, const MfBrush&, const MfDrawState&) {
  ++fills;
  for (const MfPoint& p : path.points) add(p);
}

void MetafileRecorder::strokePath(const MfPath& path, const MfPen&, const MfDrawState&) {
  ++strokes;
  for (const MfPoint& p : path.points) add(p);
}

double MetafileRecorder::drawText(const MfText& text, const MfDrawState&) {
  ++texts;
  if (textRuns.size() < kMaxKeptTexts) textRuns.push_back(text);
  // Without font metrics: half the height per character is a fair guess of the extent.
  double advance = 0;
  if (!text.advances.empty()) {
    for (double a : text.advances) advance += a;
  } else {
    advance = 0.5 * text.font.height * static_cast<double>(text.text.size());
  }
  add(text.origin);
  add({text.origin.x + advance, text.origin.y + text.font.height});
  return advance;
}

void MetafileRecorder::drawBitmap(const Bitmap&, const MfRect&, MfPoint p0, MfPoint p1, MfPoint p2,
                                  MfRasterOp, const MfDrawState&) {
  ++bitmaps;
  add(p0);
  add(p1);
  add(p2);
  add({p1.x + p2.x - p0.x, p1.y + p2.y - p0.y});
}

}  // namespace vorlino
