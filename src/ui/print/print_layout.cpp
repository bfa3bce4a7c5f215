#include "print/print_layout.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <limits>

#include "view/img_zoom.h"

namespace vorlino {
namespace {

// The longer side of the page, in printer pixels and in centimetres.
struct LongSide {
  double pixels;
  double cm;
};
LongSide longSide(const TPageMetrics& page) {
  if (page.Landscape()) return {double(page.PageWidth), page.PageWidthCm};
  return {double(page.PageHeight), page.PageHeightCm};
}

// A ratio rounded to an int, 0 when it is not a finite positive number.
int roundedRatio(double value) {
  if (!std::isfinite(value) || value <= 0) return 0;
  return roundHalfEven(std::min(value, double(std::numeric_limits<int>::max())));
}

}  // namespace

double DeviceToCm(const TPageMetrics& page, double p) {
  const LongSide side = longSide(page);
  return side.pixels > 0 ? p * side.cm / side.pixels : 0.0;
}

int CmToDevice(const TPageMetrics& page, double c) {
  const LongSide side = longSide(page);
  return side.cm > 0 ? roundHalfEven(c * side.pixels / side.cm) : 0;
}

int zoomBarMaximum(double fitZoom) {
  const double tenths = std::trunc(fitZoom * 100 / 10);
  if (!(tenths >= kZoomBarMinimum)) return kZoomBarMinimum;
  return int(std::min(tenths, double(std::numeric_limits<int>::max())));
}

bool zoomBarUsable(double fitZoom) {
  return std::trunc(fitZoom * 100 / 10) >= kZoomBarMinimum;
}

int zoomBarPosition(double printFactor, int minimum, int maximum) {
  const double position = std::isfinite(printFactor) ? printFactor * 100 / 10 : 0.0;
  return std::clamp(roundHalfEven(std::clamp(position, -1e9, 1e9)), minimum, maximum);
}

QString zoomLabelText(int position) {
  return QCoreApplication::translate("PrintLayout", "Réduire/Agrandir à %1 %").arg(position * 10);
}

QString zoomLabelTextForFactor(double printFactor) {
  return QCoreApplication::translate("PrintLayout", "Réduire/Agrandir à %1 %")
      .arg(roundedRatio(printFactor * 100));
}

TResolution ShowResolution(int imageWidth, int imageHeight, double widthCm, double heightCm) {
  const bool alongWidth = imageHeight < imageWidth;
  const double pixels = alongWidth ? imageWidth : imageHeight;
  const double cm = alongWidth ? widthCm : heightCm;
  if (!(cm > 0)) return {};
  return {roundedRatio(pixels / cm * 2.54), roundedRatio(pixels / cm)};
}

QString resolutionText(const TResolution& resolution) {
  return QCoreApplication::translate("PrintLayout", "%1 pixels/pouce, %2 pixels/cm")
      .arg(resolution.perInch)
      .arg(resolution.perCm);
}

QString pageSizeText(const TPageMetrics& page, const QLocale& locale) {
  return QStringLiteral("%1 cm x %2 cm")
      .arg(locale.toString(page.PageWidthCm, 'f', 1), locale.toString(page.PageHeightCm, 'f', 1));
}

TPreviewLayout LayoutPreviewPage(const TPageMetrics& page) {
  TPreviewLayout layout;
  if (page.PageWidth <= 0 || page.PageHeight <= 0) return layout;
  if (page.Landscape()) {
    layout.PreviewWidth = kPreviewSide;
    layout.PreviewScale = double(kPreviewSide) / page.PageWidth;
    layout.PreviewHeight = roundHalfEven(page.PageHeight * layout.PreviewScale);
  } else {
    layout.PreviewHeight = kPreviewSide;
    layout.PreviewScale = double(kPreviewSide) / page.PageHeight;
    layout.PreviewWidth = roundHalfEven(page.PageWidth * layout.PreviewScale);
  }
  return layout;
}

TRangeCheck CheckFieldRanges(const TPageMetrics& page, int drawnWidth, int drawnHeight,
                             double width, double height, double left, double top,
                             const QLocale& locale) {
  const auto number = [&](double v) { return locale.toString(v, 'f', 2); };
  const double leftMax = page.PageWidthCm - DeviceToCm(page, drawnWidth);
  const double topMax = page.PageHeightCm - DeviceToCm(page, drawnHeight);
  if (!(width >= 1.0 && width <= page.PageWidthCm))
    return {1, QCoreApplication::translate("PrintLayout",
                                           "La largeur doit être comprise entre %1 et %2")
                   .arg(number(1.0), number(page.PageWidthCm))};
  if (!(height >= 1.0 && height <= page.PageHeightCm))
    return {2, QCoreApplication::translate("PrintLayout",
                                           "La hauteur doit être comprise entre %1 et %2")
                   .arg(number(1.0), number(page.PageHeightCm))};
  if (!(left <= leftMax))
    return {3, QCoreApplication::translate("PrintLayout",
                                           "La marge de gauche doit être inférieure ou égale à %1")
                   .arg(number(leftMax))};
  if (!(top <= topMax))
    return {4, QCoreApplication::translate("PrintLayout",
                                           "La marge du haut doit être inférieure ou égale à %1")
                   .arg(number(topMax))};
  return {};
}

double paperLineWidth(const TPageMetrics& page) {
  const LongSide side = longSide(page);
  const double width = side.cm > 0 ? 0.01 * side.pixels / side.cm : 0.0;
  return std::isfinite(width) ? std::max(1.0, width) : 1.0;
}

std::vector<QLine> cutMarkLines(const QRect& imageRect, int a, int b, double aspectRatio) {
  const int l = imageRect.left(), t = imageRect.top();
  const int r = l + imageRect.width(), btm = t + imageRect.height();
  std::vector<QLine> lines = {
      {l - a, t, l - b, t},     {l, t - a, l, t - b},      // top left
      {r + a, t, r + b, t},     {r, t - a, r, t - b},      // top right
      {r + a, btm, r + b, btm}, {r, btm + a, r, btm + b},  // bottom right
      {l - a, btm, l - b, btm}, {l, btm + a, l, btm + b},  // bottom left
  };
  const double elongation = aspectRatio >= 1 ? aspectRatio : 1 / aspectRatio;
  if (elongation >= 1.5) {
    if (aspectRatio > 1) {
      const int x = l + (r - l) / 2;
      lines.emplace_back(x, t - a, x, t - b);
      lines.emplace_back(x, btm + a, x, btm + b);
    } else {
      const int y = t + (btm - t) / 2;
      lines.emplace_back(l - a, y, l - b, y);
      lines.emplace_back(r + a, y, r + b, y);
    }
  }
  return lines;
}

}  // namespace vorlino
