// What a metafile player hands to a drawing surface: resolved shapes, text runs and bitmaps in
// output pixels, with the GDI state that affects them (clip, raster operation, background).
//
// The record walkers of WMF and EMF files live in the Qt-free core and drive a MetafileCanvas;
// the user interface implements it with a painter, the fuzz targets and tests with recorders.
// Every coordinate the canvas receives is already mapped to output pixels (x right, y down).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "bitmap/color.h"

namespace vorlino {

struct MfPoint {
  double x = 0;
  double y = 0;
};

// An integer rectangle of output pixels, right and bottom excluded.
struct MfRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool empty() const { return right <= left || bottom <= top; }
  friend bool operator==(const MfRect&, const MfRect&) = default;
};

// A clipping region: disjoint rectangles. A region grown past kMaxRects by repeated cuts is
// replaced by its bounding box, which keeps hostile files from making it quadratic.
class MfRegion {
 public:
  static constexpr std::size_t kMaxRects = 2048;

  MfRegion() = default;
  explicit MfRegion(const MfRect& r) {
    if (!r.empty()) rects_.push_back(r);
  }
  const std::vector<MfRect>& rects() const { return rects_; }
  bool empty() const { return rects_.empty(); }
  MfRect bounds() const;

  void intersect(const MfRegion& other);
  void subtract(const MfRegion& other);
  void unite(const MfRegion& other);
  void exclusiveOr(const MfRegion& other);
  void offset(int dx, int dy);

 private:
  void limit();
  std::vector<MfRect> rects_;
};

enum class MfVerb : std::uint8_t { mvMove, mvLine, mvCubic, mvClose };  // a cubic takes 3 points

// A path of figures. Fill rule travels with the drawing state, not with the path.
struct MfPath {
  std::vector<MfVerb> verbs;
  std::vector<MfPoint> points;

  bool empty() const { return verbs.empty(); }
  void clear() {
    verbs.clear();
    points.clear();
  }
  void moveTo(MfPoint p) {
    verbs.push_back(MfVerb::mvMove);
    points.push_back(p);
  }
  void lineTo(MfPoint p) {
    verbs.push_back(MfVerb::mvLine);
    points.push_back(p);
  }
  void cubicTo(MfPoint c1, MfPoint c2, MfPoint p) {
    verbs.push_back(MfVerb::mvCubic);
    points.push_back(c1);
    points.push_back(c2);
    points.push_back(p);
  }
  void close() { verbs.push_back(MfVerb::mvClose); }
  void append(const MfPath& other) {
    verbs.insert(verbs.end(), other.verbs.begin(), other.verbs.end());
    points.insert(points.end(), other.points.begin(), other.points.end());
  }
};

// Pen dash styles in GDI's numbering (PS_SOLID .. PS_INSIDEFRAME).
enum class MfPenStyle : std::uint8_t {
  psSolid = 0,
  psDash = 1,
  psDot = 2,
  psDashDot = 3,
  psDashDotDot = 4,
  psNull = 5,
  psInsideFrame = 6,
};
enum class MfLineCap : std::uint8_t { lcRound, lcSquare, lcFlat };
enum class MfLineJoin : std::uint8_t { ljRound, ljBevel, ljMiter };

struct MfPen {
  MfPenStyle style = MfPenStyle::psSolid;
  double width = 1;  // output pixels; at least 1
  Color color = 0;
  MfLineCap cap = MfLineCap::lcRound;
  MfLineJoin join = MfLineJoin::ljRound;
  double miterLimit = 10;
};

enum class MfBrushKind : std::uint8_t { bkSolid, bkHatched, bkPattern, bkNull };
// GDI hatch numbering: HS_HORIZONTAL .. HS_DIAGCROSS.
enum class MfHatch : std::uint8_t {
  hsHorizontal,
  hsVertical,
  hsFDiagonal,
  hsBDiagonal,
  hsCross,
  hsDiagCross
};

struct MfBrush {
  MfBrushKind kind = MfBrushKind::bkSolid;
  Color color = 0xFFFFFF;
  MfHatch hatch = MfHatch::hsHorizontal;
  // Pattern brushes: a 24-bit tile. In a monochrome tile black stands for the text colour and
  // white for the background colour, which GDI substitutes when it paints.
  std::shared_ptr<const Bitmap> pattern;
  bool monochrome = false;
};

struct MfFont {
  double height = 16;       // output pixels
  bool cellHeight = false;  // height counts the internal leading (a positive LOGFONT height)
  double width = 0;         // average character width in output pixels, 0 for the natural width
  double aspect = 1;        // horizontal / vertical scale of the mapping, used when width is 0
  int weight = 400;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  double angle = 0;  // degrees, counter-clockwise as seen
  int charset = 0;
  int pitchAndFamily = 0;
  std::string face;  // UTF-8
};

// GDI text alignment bits (TA_*).
enum : unsigned {
  kTaUpdateCp = 1,
  kTaRight = 2,
  kTaCenter = 6,
  kTaBottom = 8,
  kTaBaseline = 24,
};

struct MfText {
  std::u16string text;
  MfPoint origin;  // the reference point the alignment refers to
  unsigned align = 0;
  MfFont font;
  Color color = 0;
  // Advance of each character in output pixels; empty for the font's own advances.
  std::vector<double> advances;
};

// A raster operation as the truth table of a function of the source (pen, brush or bitmap) and
// the destination: bit (s << 1 | d) holds the result. 12 copies the source, 10 keeps the
// destination, 6 is exclusive or. GDI's binary ROP2 codes are this value plus one.
using MfRasterOp = std::uint8_t;
constexpr MfRasterOp kRopCopy = 12;
constexpr MfRasterOp kRopNop = 10;

struct MfDrawState {
  const MfRegion* clip = nullptr;  // nullptr: no clip
  MfRasterOp rop = kRopCopy;
  bool winding = false;          // polygon fill mode: winding, or alternate
  bool opaqueBackground = true;  // background mode: fill hatch gaps, dash gaps and text cells
  Color background = 0xFFFFFF;
  Color textColor = 0;  // foreground of monochrome patterns
};

class MetafileCanvas {
 public:
  virtual ~MetafileCanvas() = default;
  virtual void fillPath(const MfPath& path, const MfBrush& brush, const MfDrawState& state) = 0;
  virtual void strokePath(const MfPath& path, const MfPen& pen, const MfDrawState& state) = 0;
  // Draws a run of text and returns its advance in output pixels along the baseline.
  virtual double drawText(const MfText& text, const MfDrawState& state) = 0;
  // Draws the src part of image (a 24-bit bitmap) onto the parallelogram whose corners for the
  // source's top-left, top-right and bottom-left are p0, p1 and p2.
  virtual void drawBitmap(const Bitmap& image, const MfRect& src, MfPoint p0, MfPoint p1,
                          MfPoint p2, MfRasterOp rop, const MfDrawState& state) = 0;
};

// Collects the extent of everything drawn and counts the calls, drawing nothing: sizes plain
// metafiles that state no extent, and lets tests and fuzzers follow the player without a screen.
class MetafileRecorder : public MetafileCanvas {
 public:
  void fillPath(const MfPath& path, const MfBrush& brush, const MfDrawState& state) override;
  void strokePath(const MfPath& path, const MfPen& pen, const MfDrawState& state) override;
  double drawText(const MfText& text, const MfDrawState& state) override;
  void drawBitmap(const Bitmap& image, const MfRect& src, MfPoint p0, MfPoint p1, MfPoint p2,
                  MfRasterOp rop, const MfDrawState& state) override;

  bool hasBounds() const { return hasBounds_; }
  double minX() const { return minX_; }
  double minY() const { return minY_; }
  double maxX() const { return maxX_; }
  double maxY() const { return maxY_; }

  int fills = 0;
  int strokes = 0;
  int texts = 0;
  int bitmaps = 0;
  std::vector<MfText> textRuns;  // kept for inspection, at most kMaxKeptTexts
  static constexpr std::size_t kMaxKeptTexts = 256;

 private:
  void add(MfPoint p);
  bool hasBounds_ = false;
  double minX_ = 0, minY_ = 0, maxX_ = 0, maxY_ = 0;
};

}  // namespace vorlino
