#include "compose/fit_keep_shape.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

namespace vorlino {

namespace {

constexpr int kMidGrey = 128;
// A ".slices" file holds four numbers; anything longer is not one.
constexpr std::size_t kMaxSlicesBytes = 4096;
constexpr long kMaxCut = 1L << 20;

// The scale between pixel centres that the resampler gives an axis of src pixels fitted to dst.
float plainScale(int src, int dst) {
  return src == 1 ? static_cast<float>(dst) / src : static_cast<float>(dst - 1) / (src - 1);
}

std::string defaultsUsed(std::string text) {
  return text + " Les découpes par défaut sont utilisées.";
}

// The whole numbers of text, separated by spaces, tabs, commas, semicolons or line breaks;
// nothing when another character appears or a number is out of range.
std::optional<std::vector<long>> parseNumbers(const std::string& text) {
  std::vector<long> numbers;
  std::size_t i = 0;
  auto separator = [](char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == ';';
  };
  while (i < text.size()) {
    if (separator(text[i])) {
      ++i;
      continue;
    }
    long value = 0;
    std::size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      value = value * 10 + (text[i] - '0');
      if (value > kMaxCut) return std::nullopt;
      ++i;
      ++digits;
    }
    if (digits == 0 || (i < text.size() && !separator(text[i]))) return std::nullopt;
    numbers.push_back(value);
  }
  return numbers;
}

}  // namespace

bool cutsFitMask(const MaskCuts& cuts, int width, int height) {
  return cuts.left > 0 && cuts.left < cuts.right && cuts.right < width && cuts.top > 0 &&
         cuts.top < cuts.bottom && cuts.bottom < height;
}

std::optional<MaskCuts> findMaskCuts(const Bitmap& mask) {
  const int width = mask.width(), height = mask.height();
  if (width < 3 || height < 3 || mask.bitsPerPixel() != 24) return std::nullopt;
  int minX = width, maxX = -1, minY = height, maxY = -1;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* p = mask.row(y);
    int first = -1, last = -1;
    for (int x = 0; x < width; ++x, p += 3) {
      if ((p[0] + p[1] + p[2]) / 3 < kMidGrey) continue;
      if (first < 0) first = x;
      last = x;
    }
    if (first < 0) continue;
    minX = std::min(minX, first);
    maxX = std::max(maxX, last);
    minY = std::min(minY, y);
    maxY = y;
  }
  if (maxX < 0) return std::nullopt;
  // At least 1 % of the side, and one pixel, stays in each border; with 3 pixels or more on a
  // side the centre keeps one too.
  auto clampAxis = [](int first, int end, int side, int& start, int& stop) {
    const int least = std::max(1, (side + 99) / 100);
    start = std::max(first, least);
    stop = std::min(end, side - least);
    if (start >= stop) {
      // The light area lies inside one border's margin: centre the one-pixel-wide middle there.
      start = std::clamp(first, least, side - least - 1);
      stop = start + 1;
    }
  };
  MaskCuts cuts;
  clampAxis(minX, maxX + 1, width, cuts.left, cuts.right);
  clampAxis(minY, maxY + 1, height, cuts.top, cuts.bottom);
  if (!cutsFitMask(cuts, width, height)) return std::nullopt;
  return cuts;
}

MaskCuts turnCuts(const MaskCuts& c, int width, int height, int angle) {
  switch (angle) {
    case 90:  // (x, y) -> (h - 1 - y, x)
      return {height - c.bottom, c.left, height - c.top, c.right};
    case 180:
      return {width - c.right, height - c.bottom, width - c.left, height - c.top};
    case 270:  // (x, y) -> (y, w - 1 - x)
      return {c.top, width - c.right, c.bottom, width - c.left};
    default:
      return c;
  }
}

std::optional<MaskCuts> slicesOfTurnedPicture(const std::optional<MaskCuts>& slices,
                                              const Bitmap& picture, int angle) {
  if (!slices) return std::nullopt;
  const bool across = angle == 90 || angle == 270;
  const int loadedWidth = across ? picture.height() : picture.width();
  const int loadedHeight = across ? picture.width() : picture.height();
  return turnCuts(*slices, loadedWidth, loadedHeight, angle);
}

std::string slicesPathFor(const std::string& maskPath) {
  std::filesystem::path path(maskPath);
  path.replace_extension(".slices");
  return path.string();
}

SlicesRead readMaskSlices(const std::string& maskPath, int width, int height) {
  SlicesRead result;
  const std::string path = slicesPathFor(maskPath);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return result;
  std::ifstream in(path, std::ios::binary);
  std::string text;
  if (in) {
    text.resize(kMaxSlicesBytes + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
  }
  if (!in && !in.eof()) {
    result.error = defaultsUsed("Impossible de lire le fichier \"" + path + "\".");
    return result;
  }
  const auto numbers = text.size() > kMaxSlicesBytes ? std::nullopt : parseNumbers(text);
  if (!numbers || numbers->size() != 4) {
    result.error = defaultsUsed("Le fichier \"" + path +
                                "\" doit contenir quatre nombres entiers : gauche, haut, droite "
                                "et bas.");
    return result;
  }
  const MaskCuts cuts{static_cast<int>((*numbers)[0]), static_cast<int>((*numbers)[1]),
                      static_cast<int>((*numbers)[2]), static_cast<int>((*numbers)[3])};
  if (!cutsFitMask(cuts, width, height)) {
    result.error =
        defaultsUsed("Les découpes du fichier \"" + path + "\" ne conviennent pas à ce masque de " +
                     std::to_string(width) + " x " + std::to_string(height) +
                     " pixels : il faut 0 < gauche < droite < " + std::to_string(width) +
                     " et 0 < haut < bas < " + std::to_string(height) + ".");
    return result;
  }
  result.cuts = cuts;
  return result;
}

float keepShapeCornerScale(int maskWidth, int maskHeight, int width, int height,
                           const MaskCuts& cuts) {
  const int maskShort = std::min(maskWidth, maskHeight);
  const int photoShort = std::min(width, height);
  double scale = maskShort == 1 ? static_cast<double>(photoShort)
                                : static_cast<double>(photoShort - 1) / (maskShort - 1);
  // Between pixel centres the borders of an axis span left + (width - right) - 1 mask pixels;
  // scaled, they must fit in the width - 1 of the photo.
  auto limit = [&scale](int dst, int borders) {
    if (dst >= 2 && borders > 0) scale = std::min(scale, static_cast<double>(dst - 1) / borders);
  };
  limit(width, cuts.left + (maskWidth - cuts.right) - 1);
  limit(height, cuts.top + (maskHeight - cuts.bottom) - 1);
  float result = static_cast<float>(scale);
  if (result > scale) result = std::nextafter(result, 0.0f);
  return result;
}

TContributorList keepShapeContributors(int srcSize, int dstSize, int cutStart, int cutEnd,
                                       float cornerScale) {
  const auto src = static_cast<std::uint32_t>(srcSize);
  const auto dst = static_cast<std::uint32_t>(dstSize);
  if (srcSize < 3 || dstSize < 2 || !(cornerScale > 0.0f) || cutStart < 1 || cutEnd <= cutStart ||
      cutEnd > srcSize - 1 || cornerScale == plainScale(srcSize, dstSize))
    return buildContributors(src, dst, rkLanczos3, 0.0f);

  // Pieces meet half-way between the last pixel of one part and the first of the next.
  const double cutIn = cutStart - 0.5, cutOut = cutEnd - 0.5;
  const double endIn = cutIn * cornerScale;
  const double endOut = (dstSize - 1) - (srcSize - 1 - cutOut) * cornerScale;
  const float middleScale =
      endOut > endIn ? static_cast<float>((endOut - endIn) / (cutOut - cutIn)) : 0.0f;

  TContributorList list(dst);
  for (int i = 0; i < dstSize; ++i) {
    float centre = 0.0f, scale = cornerScale;
    if (i <= endIn) {
      centre = static_cast<float>(i) / cornerScale;
    } else if (i >= endOut || middleScale <= 0.0f) {
      centre = static_cast<float>((srcSize - 1) - (dstSize - 1 - i) / static_cast<double>(scale));
    } else {
      scale = middleScale;
      centre = static_cast<float>(cutIn + (i - endIn) / middleScale);
    }
    if (scale * 256.0f <= 0.5f) {
      // Every weight would round to 0, which the resampler meets with the nearest pixel; giving
      // it directly spares a loop as long as the piece is squeezed.
      const auto nearest =
          std::clamp<long>(std::lround(std::nearbyint(centre)), 0, static_cast<long>(srcSize - 1));
      list[static_cast<std::size_t>(i)].contributors.assign(
          1, TContributor{256, static_cast<std::int32_t>(nearest)});
      list[static_cast<std::size_t>(i)].count = 1;
      continue;
    }
    list[static_cast<std::size_t>(i)] = contributorsAt(src, centre, scale, rkLanczos3, 0.0f);
  }
  return list;
}

void FitKeepShape(const Bitmap& mask, const std::optional<MaskCuts>& cuts, Bitmap& target,
                  ResampleCode code) {
  const int sw = mask.width(), sh = mask.height();
  const int dw = target.width(), dh = target.height();
  if (sw == 0 || sh == 0 || dw == 0 || dh == 0) return;
  std::optional<MaskCuts> used = cuts;
  if (!used || !cutsFitMask(*used, sw, sh)) used = findMaskCuts(mask);
  TContributorList horizontal, vertical;
  if (used) {
    const float corner = keepShapeCornerScale(sw, sh, dw, dh, *used);
    horizontal = keepShapeContributors(sw, dw, used->left, used->right, corner);
    vertical = keepShapeContributors(sh, dh, used->top, used->bottom, corner);
  } else {
    horizontal = buildContributors(static_cast<std::uint32_t>(sw), static_cast<std::uint32_t>(dw),
                                   rkLanczos3, 0.0f);
    vertical = buildContributors(static_cast<std::uint32_t>(sh), static_cast<std::uint32_t>(dh),
                                 rkLanczos3, 0.0f);
  }
  resampleWithContributors(code, horizontal, vertical, mask, target);
}

}  // namespace vorlino
