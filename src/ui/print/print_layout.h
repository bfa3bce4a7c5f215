// Page layout arithmetic of the print layout dialog, free of any widget or printer.
//
// The page is the printer's printable area: its size in printer pixels and in centimetres (whole
// millimetres divided by 10, as the driver reports them). Conversions between the two always go
// through the longer page side. Round means nearest, ties to even.
#pragma once

#include <QLine>
#include <QLocale>
#include <QRect>
#include <QString>
#include <vector>

namespace vorlino {

struct TPageMetrics {
  int PageWidth = 0;  // printable area in printer pixels
  int PageHeight = 0;
  double PageWidthCm = 0;  // printable area in centimetres
  double PageHeightCm = 0;

  // A square or taller page counts as portrait.
  bool Landscape() const { return PageHeight < PageWidth; }
};

// p printer pixels in centimetres, not rounded (0 on a page of no size).
double DeviceToCm(const TPageMetrics& page, double p);
// c centimetres in printer pixels, rounded (0 on a page of no size).
int CmToDevice(const TPageMetrics& page, double c);

// ---- the zoom bar: positions are tenths of the printed zoom (printer pixels per image pixel) ----

inline constexpr int kZoomBarMinimum = 1;
// The page-filling zoom in tenths, rounded down, but never below the bar's minimum: an image more
// than ten times larger than the page would otherwise get a maximum below the minimum.
int zoomBarMaximum(double fitZoom);
// Whether the bar can show any zoom at which the image still fits the page (fitting zoom >= 0.1).
bool zoomBarUsable(double fitZoom);
// The bar position showing printFactor, kept within minimum..maximum.
int zoomBarPosition(double printFactor, int minimum, int maximum);
// The zoom label for a bar position: "Réduire/Agrandir à 400 %" for position 40.
QString zoomLabelText(int position);
// The label when the bar cannot show the factor: the printed zoom itself in percent.
QString zoomLabelTextForFactor(double printFactor);

// ---- printed resolution -------------------------------------------------------------------------

struct TResolution {
  int perInch = 0;
  int perCm = 0;
};
// Pixels per centimetre and per inch of the image printed widthCm x heightCm: measured along the
// width when the image is wider than tall, otherwise along the height. A size of zero or less
// (a field not yet valid) gives 0.
TResolution ShowResolution(int imageWidth, int imageHeight, double widthCm, double heightCm);
// "%d pixels/pouce, %d pixels/cm".
QString resolutionText(const TResolution& resolution);

// "%.1f cm x %.1f cm" with the page size in centimetres and the locale's decimal separator.
QString pageSizeText(const TPageMetrics& page, const QLocale& locale);

// ---- the page picture in the dialog -------------------------------------------------------------

inline constexpr int kPreviewOrigin = 16;  // left and top of the page picture
inline constexpr int kPreviewSide = 225;   // its longer side
inline constexpr int kShadowOffset = 3;

struct TPreviewLayout {
  int PreviewWidth = 0;
  int PreviewHeight = 0;
  double PreviewScale = 0;  // screen pixels per printer pixel
};
// The longer page side becomes 225 screen pixels, the other follows.
TPreviewLayout LayoutPreviewPage(const TPageMetrics& page);

// ---- field checks -------------------------------------------------------------------------------

struct TRangeCheck {
  int result = 0;   // 0: every rule holds; 1 width, 2 height, 3 left margin, 4 top margin
  QString warning;  // the text shown for the failing rule
};
// The size and margin rules, the first failing one deciding. The largest margins come from the
// size currently applied (drawnWidth x drawnHeight printer pixels), not from the typed size.
// Numbers show two decimals with the locale's separator.
TRangeCheck CheckFieldRanges(const TPageMetrics& page, int drawnWidth, int drawnHeight,
                             double width, double height, double left, double top,
                             const QLocale& locale);

inline const char* const kFillAllFields =
    QT_TRANSLATE_NOOP("PrintLayout", "Renseignez tous les champs avant de continuer !");

// ---- cut marks ----------------------------------------------------------------------------------

// The cut-mark lines around imageRect (right and bottom edges at left + width and top + height),
// each from a away to b away from the image, in printer pixels. An image whose sides differ by a
// ratio of 1.5 or more gets two middle marks on its long sides.
// The pen width of cut marks and of the outline on paper, in printer pixels: 0.1 mm, so that a
// high-resolution printer does not draw a line too thin to cut along, or 1 printer pixel where
// that is wider.
double paperLineWidth(const TPageMetrics& page);

std::vector<QLine> cutMarkLines(const QRect& imageRect, int a, int b, double aspectRatio);

}  // namespace vorlino
