#include "imagefile/nclx_profile.h"

#include <lcms2.h>

namespace vorlino {
namespace {

// The tone curve of a transfer code point as an ICC parametric curve of type 4:
// Y = (aX + b)^g for X >= d, else cX. Nullopt-like false for curves left alone.
bool curveParameters(int transfer, double (&p)[5]) {
  switch (transfer) {
    case 2:   // unspecified: taken as sRGB, as the decoders do
    case 13:  // sRGB
      p[0] = 2.4, p[1] = 1 / 1.055, p[2] = 0.055 / 1.055, p[3] = 1 / 12.92, p[4] = 0.04045;
      return true;
    case 1:  // BT.709, and the same curve of BT.601 and BT.2020
    case 6:
    case 14:
    case 15:
      p[0] = 1 / 0.45, p[1] = 1 / 1.099, p[2] = 0.099 / 1.099, p[3] = 1 / 4.5, p[4] = 0.081;
      return true;
    case 4:  // gamma 2.2
    case 5:  // gamma 2.8
    case 8:  // linear
      p[0] = transfer == 4   ? 2.2
             : transfer == 5 ? 2.8
                             : 1.0,
      p[1] = 1, p[2] = 0, p[3] = 0, p[4] = 0;
      return true;
    default:  // PQ, HLG and the rest
      return false;
  }
}

}  // namespace

std::vector<std::uint8_t> iccProfileForNclx(const NclxColours& colours) noexcept {
  const bool srgbCurve = colours.transfer == 2 || colours.transfer == 13 || colours.transfer == 1 ||
                         colours.transfer == 6;
  if (colours.bt709Primaries && srgbCurve) return {};
  double parameters[5];
  if (!curveParameters(colours.transfer, parameters)) return {};

  cmsContext context = cmsCreateContext(nullptr, nullptr);
  if (!context) return {};
  std::vector<std::uint8_t> bytes;
  cmsToneCurve* curve = cmsBuildParametricToneCurve(context, 4, parameters);
  const cmsCIExyY white = {colours.x[3], colours.y[3], 1.0};
  const cmsCIExyYTRIPLE primaries = {{colours.x[0], colours.y[0], 1.0},
                                     {colours.x[1], colours.y[1], 1.0},
                                     {colours.x[2], colours.y[2], 1.0}};
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsHPROFILE profile =
      curve ? cmsCreateRGBProfileTHR(context, &white, &primaries, curves) : nullptr;
  cmsUInt32Number size = 0;
  if (profile && cmsSaveProfileToMem(profile, nullptr, &size) && size > 0) {
    bytes.resize(size);
    if (!cmsSaveProfileToMem(profile, bytes.data(), &size)) bytes.clear();
  }
  if (profile) cmsCloseProfile(profile);
  if (curve) cmsFreeToneCurve(curve);
  cmsDeleteContext(context);
  return bytes;
}

}  // namespace vorlino
