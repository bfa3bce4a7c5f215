// The graphics state both metafile players share: mapping from logical units to output pixels,
// the object table, the saved-state stack, paths and clipping. The record walkers decode records
// into calls of GdiPlayer, which resolves them against the state and hands the canvas finished
// shapes in output pixels.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "imagefile/metafile/canvas.h"
#include "imagefile/metafile/dib.h"

namespace vorlino {

// x' = a x + c y + e, y' = b x + d y + f
struct MfAffine {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
  MfPoint map(MfPoint p) const { return {a * p.x + c * p.y + e, b * p.x + d * p.y + f}; }
  // The transform that applies this one first, then `next`.
  MfAffine then(const MfAffine& next) const;
  bool invert(MfAffine& out) const;
  bool axisAligned() const { return b == 0 && c == 0; }
};

// Mapping modes (MM_*).
enum : int {
  kMmText = 1,
  kMmLoMetric = 2,
  kMmHiMetric = 3,
  kMmLoEnglish = 4,
  kMmHiEnglish = 5,
  kMmTwips = 6,
  kMmIsotropic = 7,
  kMmAnisotropic = 8,
};

struct GdiPen {
  MfPenStyle style = MfPenStyle::psSolid;
  double width = 0;  // logical units; 0 draws one pixel wide
  bool cosmetic = true;
  Color color = 0;
  MfLineCap cap = MfLineCap::lcRound;
  MfLineJoin join = MfLineJoin::ljRound;
};

struct GdiFont {
  int height = 0;
  int width = 0;
  int escapement = 0;  // tenths of a degree
  int weight = 400;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  int charset = 0;
  int pitchAndFamily = 0;
  std::string face;
};

// A region object: rectangles in logical units (WMF) or in output pixels (EMF, already mapped).
struct GdiRegionObject {
  std::vector<MfRect> rects;
  bool logical = true;
};

// What a slot of the object table holds. Objects this player does not use (palettes, bitmaps)
// still take their slot as std::monostate, so later indices stay right.
using GdiObject = std::variant<std::monostate, GdiPen, MfBrush, GdiFont, GdiRegionObject>;

// Raster operations of blits (ROP3 codes) reduced to a function of two operands.
struct BlitOp {
  bool usesSource = true;  // false: the pattern (brush) is painted instead of the bitmap
  MfRasterOp rop = kRopCopy;
};
BlitOp reduceRop3(std::uint32_t rop3);

// Turns text bytes in a font's character set into UTF-16 (Windows-1252 for the ANSI set,
// the Latin-1 range otherwise).
std::u16string decodeAnsiText(const std::uint8_t* bytes, std::size_t count, int charset);

class GdiPlayer {
 public:
  static constexpr std::size_t kMaxSavedStates = 256;

  // bounds: the output picture, the clip of an unclipped state.
  GdiPlayer(MetafileCanvas& canvas, const MfRect& bounds);

  // --- mapping ---------------------------------------------------------------------------------
  // Maps device units to output pixels (EMF: the reference device; WMF: identity).
  void setDeviceTransform(const MfAffine& deviceToOutput);
  // Device pixels per millimetre of the reference device, for the metric mapping modes.
  void setDeviceResolution(double xPerMm, double yPerMm);
  // WMF playback: the viewport is fixed to the output and only the window moves.
  void lockViewport(MfPoint org, MfPoint ext);
  void setMapMode(int mode);
  void setWindowOrg(MfPoint p);
  void setWindowExt(MfPoint p);
  void setViewportOrg(MfPoint p);
  void setViewportExt(MfPoint p);
  void offsetWindowOrg(MfPoint d);
  void offsetViewportOrg(MfPoint d);
  void scaleWindowExt(double xNum, double xDen, double yNum, double yDen);
  void scaleViewportExt(double xNum, double xDen, double yNum, double yDen);
  void setWorldTransform(const MfAffine& m);
  // EMF ModifyWorldTransform modes: 1 identity, 2 left multiply, 3 right multiply, 4 set.
  void modifyWorldTransform(const MfAffine& m, int mode);
  const MfAffine& transform() const { return transform_; }

  // --- attributes ------------------------------------------------------------------------------
  void setTextColor(Color c) { dc_.textColor = c & 0xFFFFFF; }
  void setBkColor(Color c) { dc_.bkColor = c & 0xFFFFFF; }
  void setBkMode(int mode) { dc_.opaque = mode == 2; }
  void setRop2(int rop2) {
    if (rop2 >= 1 && rop2 <= 16) dc_.rop = static_cast<MfRasterOp>(rop2 - 1);
  }
  void setPolyFillMode(int mode) { dc_.winding = mode == 2; }
  void setTextAlign(unsigned align) { dc_.textAlign = align; }
  void setArcDirection(int dir) { dc_.arcClockwise = dir == 2; }
  void setMiterLimit(double limit) {
    if (limit >= 1 && limit < 1e4) dc_.miterLimit = limit;
  }

  // --- objects ---------------------------------------------------------------------------------
  // WMF: the table has a fixed size and a new object takes the lowest free slot.
  void setObjectTableSize(std::size_t n);
  void addObject(GdiObject obj);
  // EMF: objects go to the index the record names.
  void putObject(std::uint32_t index, GdiObject obj);
  void selectObject(std::uint32_t index);
  // EMF stock objects (index with the high bit set).
  void selectStockObject(std::uint32_t id);
  void deleteObject(std::uint32_t index);
  // The brush an index names (table entry or stock object); false when it names no brush.
  bool brushObject(std::uint32_t index, MfBrush& out);
  const MfBrush& currentBrush() const { return dc_.brush; }

  // --- state stack -----------------------------------------------------------------------------
  void saveDc();
  // Relative (negative) or absolute (positive) restore; an impossible one is ignored.
  void restoreDc(int which);

  // --- clipping --------------------------------------------------------------------------------
  void intersectClipRect(double l, double t, double r, double b);
  void excludeClipRect(double l, double t, double r, double b);
  void offsetClip(double dx, double dy);
  // Combines a region in output pixels with the clip (RGN_AND 1, OR 2, XOR 3, DIFF 4, COPY 5).
  // A null region with COPY removes the clip.
  void combineClip(const MfRegion* region, int mode);
  // Selects a region object of the table as the clip (WMF SelectClipRegion).
  void selectClipObject(std::uint32_t index);
  void resetClip() { dc_.clipped = false; }

  // --- drawing, logical coordinates ------------------------------------------------------------
  void moveTo(MfPoint p);
  void lineTo(MfPoint p);
  void polyline(const std::vector<MfPoint>& pts);
  void polylineTo(const std::vector<MfPoint>& pts);
  void polygon(const std::vector<MfPoint>& pts);
  void polyPolygon(const std::vector<std::vector<MfPoint>>& polys);
  void polyPolyline(const std::vector<std::vector<MfPoint>>& lines);
  void polyBezier(const std::vector<MfPoint>& pts);
  void polyBezierTo(const std::vector<MfPoint>& pts);
  void rectangle(double l, double t, double r, double b);
  void roundRect(double l, double t, double r, double b, double w, double h);
  void ellipse(double l, double t, double r, double b);
  enum class ArcKind { akArc, akArcTo, akChord, akPie };
  void arc(double l, double t, double r, double b, MfPoint start, MfPoint end, ArcKind kind);
  void setPixel(MfPoint p, Color c);
  // Fills a rectangle with the brush through a pattern raster operation (PatBlt).
  void patBlt(double x, double y, double w, double h, MfRasterOp rop);
  // Fills or frames a region object with a brush object (WMF FillRegion / FrameRegion) or with
  // the current brush (PaintRegion), or inverts it.
  void fillRegion(std::uint32_t regionIndex, int brushIndex);
  void fillRegionRects(const std::vector<MfRect>& outputRects, const MfBrush& brush,
                       MfRasterOp rop);
  void invertRegion(std::uint32_t regionIndex);
  // Draws the src part (pixels, top-left origin) of a DIB onto the logical rectangle.
  void stretchBlt(const MetafileDib& dib, double x, double y, double w, double h, double sx,
                  double sy, double sw, double sh, std::uint32_t rop3);

  struct TextOptions {
    bool useCurrentPosition = false;  // set by the caller from the alignment
    bool opaque = false;              // ETO_OPAQUE: fill the rectangle with the background
    bool clipped = false;             // ETO_CLIPPED: clip to the rectangle
    double rect[4] = {0, 0, 0, 0};    // logical left, top, right, bottom
  };
  // dx: logical advance of each character, or empty.
  void textOut(MfPoint ref, const std::u16string& text, const std::vector<double>& dx,
               const TextOptions& opt);
  // Text in the selected font's character set.
  void textOutAnsi(MfPoint ref, const std::uint8_t* bytes, std::size_t count,
                   const std::vector<double>& dx, const TextOptions& opt);

  // --- paths -----------------------------------------------------------------------------------
  void beginPath();
  void endPath();
  void abortPath();
  void closeFigure();
  // Closes the figure that started at `start`: in a path bracket as CloseFigure, elsewhere with
  // a line back to it.
  void closeFigureAt(MfPoint start);
  void fillPath();
  void strokePath();
  void strokeAndFillPath();

  // Painting is bounded: every shape spends the area of its box inside the picture, and once
  // the budget is spent nothing more is drawn. A file of a few kilobytes could otherwise ask
  // for hours of painting. The default is 2^33 pixels or 64 pictures, whichever is more.
  void setWorkBudget(double pixels) { budget_ = pixels; }
  bool exhausted() const { return exhausted_; }

 private:
  struct Dc {
    int mapMode = kMmText;
    MfPoint winOrg{0, 0}, winExt{1, 1}, vpOrg{0, 0}, vpExt{1, 1};
    MfAffine world;
    GdiPen pen;
    MfBrush brush;
    GdiFont font;
    Color textColor = 0;
    Color bkColor = 0xFFFFFF;
    bool opaque = true;
    MfRasterOp rop = kRopCopy;
    bool winding = false;
    unsigned textAlign = 0;
    bool arcClockwise = false;
    double miterLimit = 10;
    bool clipped = false;
    MfRegion clip;
    MfPoint cur;  // logical
  };

  void updateTransform();
  // Output pixels are whole numbers, as device coordinates are: shapes then meet the pixel grid
  // the way the file's own integer arithmetic expects.
  MfPoint toOutput(MfPoint p) const;
  double lineScale() const;
  MfRect outputRect(double l, double t, double r, double b) const;
  MfDrawState state() const;
  MfPen resolvePen() const;
  MfFont resolveFont() const;
  bool penVisible() const { return dc_.pen.style != MfPenStyle::psNull; }
  bool brushVisible() const { return dc_.brush.kind != MfBrushKind::bkNull; }
  // Draws a finished output path, or adds it to the open path bracket.
  void drawShape(const MfPath& path, bool fill, bool stroke);
  void continueFromCurrent(const MfPath& seg, const MfPoint& last);
  void clipTo(const MfRegion& region);
  // The logical box of a closed shape whose output right and bottom edges are pulled in by one
  // pixel, as GDI leaves them out.
  void shrinkBox(double& l, double& t, double& r, double& b) const;
  void addEllipseArc(MfPath& path, double cx, double cy, double rx, double ry, double t0,
                     double sweep, bool moveFirst) const;
  GdiObject* objectAt(std::uint32_t index);

  MetafileCanvas& canvas_;
  MfRect bounds_;
  Dc dc_;
  std::vector<Dc> saved_;
  std::vector<GdiObject> objects_;
  std::vector<bool> used_;
  MfAffine device_;
  double devPerMmX_ = 96.0 / 25.4;
  double devPerMmY_ = 96.0 / 25.4;
  bool viewportLocked_ = false;
  MfAffine transform_;
  bool pathOpen_ = false;
  bool figureOpen_ = false;
  MfPath path_;
  bool afford(double x0, double y0, double x1, double y1);
  bool affordPoints(const std::vector<MfPoint>& points, double margin);
  double budget_ = 0;
  double spent_ = 0;
  bool exhausted_ = false;
};

}  // namespace vorlino
