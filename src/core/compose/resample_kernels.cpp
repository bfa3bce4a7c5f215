// Reconstruction kernels and the contributor lists (integer weights per output pixel) built from
// them. Everything here runs once per output column or row, never per pixel, so it favours exact
// float rounding over speed: each value the weights depend on is rounded to float exactly once,
// from its exact value, as the results are defined to the bit.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "compose/resample.h"

namespace vorlino {
namespace {

// Values inside the kernels are evaluated in double, where the products of two floats are exact,
// and rounded to float where the kernel definitions say so.
float toFloat(double v) {
  return static_cast<float>(v);
}

__extension__ typedef __float128 Quad;

// A kernel formula, given as a function of a "one" of the type to compute in, rounded once to
// float. Long double (64 bits) is accurate to a few of its ulps for the cancellation-free forms
// used here; only when that lands within reach of a float tie is the formula evaluated again in
// quad precision (113 bits: exact for these cubics of floats wherever a tie is possible), so that
// near-ties round as the exact value says, at the cost of a rare slow evaluation.
template <class Formula>
float roundOnce(Formula formula) {
  const long double v = formula(1.0L);
  const float r = static_cast<float>(v);
  const long double up = (static_cast<long double>(r) + std::nextafter(r, 1e30f)) / 2;
  const long double down = (static_cast<long double>(r) + std::nextafter(r, -1e30f)) / 2;
  const long double reach = std::fabs(v) * 0x1p-56L;
  if (std::fabs(v - up) <= reach || std::fabs(v - down) <= reach)
    return static_cast<float>(formula(Quad{1}));
  return r;
}

// sin(a) / a with a = pi * y rounded to float first; sinc(0) = 1.
double sinc(float y) {
  if (y == 0.0f) return 1.0;
  const float a = static_cast<float>(3.14159265358979323846264338327950288L * y);
  return std::sin(static_cast<double>(a)) / a;
}

// hi + lo (|lo| at most half an ulp of hi) rounded once to float, ties to even. Rounding hi to odd
// when lo is not zero keeps the information that the value is not exactly hi, so that the second
// rounding, to float, cannot land on a false tie.
float roundSumToFloat(double hi, double lo) {
  if (lo != 0.0) {
    auto bits = std::bit_cast<std::uint64_t>(hi);
    if ((bits & 1) == 0) {
      const bool awayFromZero = (lo > 0) == (hi > 0);
      bits = awayFromZero ? bits + 1 : bits - 1;
      hi = std::bit_cast<double>(bits);
    }
  }
  return static_cast<float>(hi);
}

// a * b rounded once to float (a, b doubles well inside the range): Dekker's exact product.
float roundProductToFloat(double a, double b) {
  auto split = [](double v, double& high, double& low) {
    const double t = 134217729.0 * v;  // 2^27 + 1
    high = t - (t - v);
    low = v - high;
  };
  const double p = a * b;
  double ah, al, bh, bl;
  split(a, ah, al);
  split(b, bh, bl);
  const double err = ((ah * bh - p) + ah * bl + al * bh) + al * bl;
  return roundSumToFloat(p, err);
}

// Floor and ceiling of the exact a + b, for the candidate range; infinities pass through.
double floorOfSum(float a, float b) {
  const double s = static_cast<double>(a) + b;
  if (!std::isfinite(s)) return s;
  const double bb = s - a;
  const double err = (a - (s - bb)) + (b - bb);
  const double f = std::floor(s);
  return (f == s && err < 0) ? f - 1 : f;
}

double ceilOfSum(float a, float b) {
  const double s = static_cast<double>(a) + b;
  if (!std::isfinite(s)) return s;
  const double bb = s - a;
  const double err = (a - (s - bb)) + (b - bb);
  const double c = std::ceil(s);
  return (c == s && err > 0) ? c + 1 : c;
}

std::int32_t roundWeight(double v) {
  return static_cast<std::int32_t>(std::nearbyint(v));
}

}  // namespace

float BoxFilter(float x) {
  return (x > -0.5f && x <= 0.5f) ? 1.0f : 0.0f;
}

float TriangleFilter(float x) {
  const float t = std::fabs(x);
  return t < 1.0f ? toFloat(1.0 - t) : 0.0f;
}

float HermiteFilter(float x) {
  // (2t - 3) t^2 + 1 = (1 - t)^2 (1 + 2t): the product keeps its precision near t = 1, where the
  // sum cancels.
  const float t = std::fabs(x);
  if (t >= 1.0f) return 0.0f;
  return roundOnce([t](auto one) {
    using T = decltype(one);
    if constexpr (std::is_same_v<T, Quad>) {
      return (2 * T{t} - 3) * t * t + 1;  // exact in quad wherever a tie is within reach
    } else {
      const T u = one - t;
      return u * u * (one + 2 * T{t});
    }
  });
}

float BellFilter(float x) {
  const float t = std::fabs(x);
  if (t < 0.5f) return toFloat(0.75 - static_cast<double>(t) * t);  // exact in double
  if (t < 1.5f) {
    const double u = toFloat(static_cast<double>(t) - 1.5);
    return toFloat(0.5 * u * u);
  }
  return 0.0f;
}

float SplineFilter(float x) {
  const float t = std::fabs(x);
  if (t < 1.0f) {
    const float s = toFloat(static_cast<double>(t) * t);
    return roundOnce([t, s](auto one) {
      using T = decltype(one);
      return (3 * T{s} * t - 6 * T{s} + 4) / 6;  // s t / 2 - s + 2/3, numerator exact
    });
  }
  if (t < 2.0f) {
    const float u = toFloat(2.0 - t);
    return roundOnce([u](auto one) {
      using T = decltype(one);
      return T{u} * u * u / 6;
    });
  }
  return 0.0f;
}

float Lanczos3Filter(float x) {
  const float t = std::fabs(x);
  if (t >= 3.0f) return 0.0f;
  const double first = toFloat(sinc(t));
  return roundProductToFloat(first, sinc(t / 3.0f));
}

float MitchellFilter(float x) {
  // Over a common denominator of 3 the numerators are exact (t and s have 24 significant bits, so
  // 7ts needs 51), which keeps the outer lobe exact where it cancels, near t = 8/7 and t = 2.
  const float t = std::fabs(x);
  const float s = toFloat(static_cast<double>(t) * t);
  if (t < 1.0f) {
    return roundOnce([t, s](auto one) {
             using T = decltype(one);
             return (21 * T{t} * s - 36 * T{s} + 16) / 3;
           }) /
           6.0f;
  }
  if (t < 2.0f) {
    return roundOnce([t, s](auto one) {
             using T = decltype(one);
             return (-7 * T{t} * s + 36 * T{s} - 60 * T{t} + 32) / 3;
           }) /
           6.0f;
  }
  return 0.0f;
}

// The default radius of each kernel is also the extent of its support.
const std::array<TKernelEntry, kResampleKernelCount> KernelTable = {{
    {BoxFilter, 0.5f},
    {TriangleFilter, 1.0f},
    {HermiteFilter, 1.0f},
    {BellFilter, 1.5f},
    {SplineFilter, 2.0f},
    {Lanczos3Filter, 3.0f},
    {MitchellFilter, 2.0f},
}};

namespace {

// The contributors of one output pixel whose centre sits at source position centre, on an axis of
// the given scale; single: the weighted mean of a whole line (see buildContributors).
void fillEntry(TContributorEntry& out, std::int64_t size, float centre, float scale,
               const TKernelEntry& entry, float radius, bool single) {
  TContributors& contributors = out.contributors;
  contributors.clear();
  const bool reducing = scale < 1.0f;
  const float halfWidth = reducing ? radius / scale : radius;
  const double singleFactor = size <= 16384 ? 256.0 : size <= 32768 ? 128.0 : 64.0;
  // Candidates farther than the kernel's support from the centre have weight 0; skipping them keeps
  // a huge radius from costing a huge loop and changes no weight.
  const double support = reducing ? static_cast<double>(entry.radius) / scale : entry.radius;
  double first = std::max(floorOfSum(centre, -halfWidth), std::floor(centre - support) - 2);
  double last = std::min(ceilOfSum(centre, halfWidth), std::ceil(centre + support) + 2);
  if (single) {
    first = std::max(first, 0.0);
    last = std::min(last, static_cast<double>(size - 1));
  }
  std::int64_t sum = 0;
  if (first <= last) {
    // One allocation per entry rather than one per doubling: a long axis has thousands.
    contributors.reserve(static_cast<std::size_t>(last - first) + 1);
    for (auto j = static_cast<std::int64_t>(first); j <= static_cast<std::int64_t>(last); ++j) {
      const double offset = static_cast<double>(centre) - static_cast<double>(j);  // exact
      const float a = reducing ? roundProductToFloat(offset, scale) : static_cast<float>(offset);
      const double k = entry.filter(a);
      const std::int32_t weight = roundWeight(single     ? k * singleFactor
                                              : reducing ? k * scale * 256.0
                                                         : k * 256.0);
      if (weight == 0) continue;
      std::int64_t pixel = j < 0 ? -j : j >= size ? 2 * size - 1 - j : j;
      pixel = std::clamp<std::int64_t>(pixel, 0, size - 1);
      contributors.push_back({weight, static_cast<std::int32_t>(pixel)});
      sum += weight;
    }
  }
  if (sum == 0) {
    // Every weight rounded to 0 (a reduction of 1/512 or less): dividing by the sum is
    // impossible, so the output takes the source pixel nearest to its centre.
    const auto nearest =
        std::clamp<std::int64_t>(static_cast<std::int64_t>(std::nearbyint(centre)), 0, size - 1);
    contributors.assign(1, TContributor{256, static_cast<std::int32_t>(nearest)});
  }
  out.count = static_cast<std::int32_t>(contributors.size());
}

}  // namespace

TContributorList buildContributors(std::uint32_t srcSize, std::uint32_t dstSize,
                                   TResampleKernel kernel, float radius) {
  TContributorList list;
  if (srcSize == 0 || dstSize == 0) return list;
  const TKernelEntry& entry = KernelTable.at(static_cast<std::size_t>(kernel));
  if (radius == 0.0f || std::isnan(radius)) radius = entry.radius;

  // One output from a longer source has no corner-aligned scale ((1 - 1) / (n - 1) = 0): it is the
  // weighted mean of the whole line instead. Its weights skip the 1/scale height factor, which
  // would round them all to 0 beyond 512 pixels, and are halved as needed so that 256 * f * size *
  // 255 stays far below 2^31.
  const bool single = dstSize == 1 && srcSize > 1;
  const float scale = (srcSize == 1 || single) ? static_cast<float>(dstSize) / srcSize
                                               : static_cast<float>(dstSize - 1) / (srcSize - 1);
  list.resize(dstSize);
  for (std::uint32_t i = 0; i < dstSize; ++i) {
    const float centre = single ? static_cast<float>(srcSize - 1) * 0.5f : i / scale;
    fillEntry(list[i], static_cast<std::int64_t>(srcSize), centre, scale, entry, radius, single);
  }
  return list;
}

TContributorEntry contributorsAt(std::uint32_t srcSize, float centre, float scale,
                                 TResampleKernel kernel, float radius) {
  TContributorEntry out;
  if (srcSize == 0) return out;
  const TKernelEntry& entry = KernelTable.at(static_cast<std::size_t>(kernel));
  if (radius == 0.0f || std::isnan(radius)) radius = entry.radius;
  fillEntry(out, static_cast<std::int64_t>(srcSize), centre, scale, entry, radius, false);
  return out;
}

}  // namespace vorlino
