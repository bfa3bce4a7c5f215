#include "imagefile/save_copy.h"

#include "imagefile/palette/reduce_palette.h"

namespace vorlino {

Bitmap MakeSaveCopy(const Bitmap& working) {
  Bitmap copy = working;
  MakeSaveReady(copy);
  return copy;
}

void MakeSaveReady(Bitmap& picture) {
  if (picture.Transparent) ReduceToPalette(picture, 256, 66);
}

namespace {

std::string withExtension(const std::string& name, const char* extension) {
  if (name.empty()) return name;
  const auto slash = name.find_last_of('/');
  const auto dot = name.find_last_of('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? name.substr(0, dot) : name) + extension;
}

}  // namespace

std::string withGifExtension(const std::string& name) {
  return withExtension(name, ".gif");
}

std::string withPngExtension(const std::string& name) {
  return withExtension(name, ".png");
}

}  // namespace vorlino
