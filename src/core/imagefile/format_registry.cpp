#include "imagefile/format_registry.h"

#include <algorithm>
#include <stdexcept>

namespace vorlino {
namespace {

std::string lowerAscii(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

bool lessNoCase(const std::string& a, const std::string& b) {
  return lowerAscii(a) < lowerAscii(b);
}

std::string normalise(std::string_view extension) {
  if (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
  return lowerAscii(extension);
}

// "*.a; *.b" from extensions sorted without regard to case.
std::string patternList(std::vector<std::string> extensions) {
  std::stable_sort(extensions.begin(), extensions.end(), lessNoCase);
  std::string r;
  for (const auto& e : extensions) {
    if (!r.empty()) r += "; ";
    r += "*." + e;
  }
  return r;
}

}  // namespace

std::optional<std::string> TFileFormatList::add(std::string_view extension,
                                                std::string_view commonDescription,
                                                std::string_view description, PictureKinds kinds,
                                                DecoderKind decoder, bool replace) {
  const std::string ext = normalise(extension);
  auto existing = std::find_if(extensions_.begin(), extensions_.end(),
                               [&](const ExtensionEntry& e) { return e.extension == ext; });
  if (existing != extensions_.end() && !replace)
    return "Tentative de re-enregistrement des fichiers " + ext + ".";

  auto d = std::find_if(decoders_.begin(), decoders_.end(),
                        [&](const DecoderEntry& e) { return e.decoder == decoder; });
  if (d == decoders_.end()) {
    decoders_.push_back({decoder, std::string(commonDescription), 0});
    d = decoders_.end() - 1;
  } else if (!commonDescription.empty()) {
    d->description = std::string(commonDescription);
  }
  const auto index = static_cast<std::size_t>(d - decoders_.begin());
  ++d->extensionCount;

  if (existing != extensions_.end()) {
    --decoders_[existing->decoder].extensionCount;
    *existing = {ext, std::string(description), kinds, index};
  } else {
    extensions_.push_back({ext, std::string(description), kinds, index});
  }
  openFilter_.reset();
  return std::nullopt;
}

std::optional<DecoderKind> TFileFormatList::decoderFor(std::string_view extension) const {
  const std::string ext = lowerAscii(extension);
  for (const auto& e : extensions_)
    if (e.extension == ext) return decoders_[e.decoder].decoder;
  return std::nullopt;
}

std::string TFileFormatList::buildFilter(PictureKinds kinds) const {
  struct Group {
    std::string description;
    std::vector<std::string> extensions;
  };
  std::vector<Group> groups;
  std::vector<Group> appended;
  std::vector<std::string> all;
  std::vector<std::string> appendedAll;
  for (std::size_t i = 0; i < decoders_.size(); ++i) {
    Group g{decoders_[i].description, {}};
    for (const auto& e : extensions_)
      if (e.decoder == i && (e.kinds & kinds) != 0) g.extensions.push_back(e.extension);
    if (g.extensions.empty()) continue;
    const bool late = i >= appendFrom_;
    for (const auto& e : g.extensions) {
      if (std::find(all.begin(), all.end(), e) != all.end() ||
          std::find(appendedAll.begin(), appendedAll.end(), e) != appendedAll.end())
        continue;
      (late ? appendedAll : all).push_back(e);
    }
    (late ? appended : groups).push_back(std::move(g));
  }
  std::stable_sort(groups.begin(), groups.end(), [](const Group& a, const Group& b) {
    return lessNoCase(a.description, b.description);
  });
  groups.insert(groups.end(), appended.begin(), appended.end());

  std::string everything = patternList(all);
  for (const auto& e : appendedAll) everything += (everything.empty() ? "*." : "; *.") + e;
  std::string filter = "Toutes les images|" + everything + "|";
  for (const auto& g : groups) {
    const std::string patterns = patternList(g.extensions);
    filter += g.description + " (" + patterns + ")|" + patterns + "|";
  }
  filter.pop_back();  // the trailing "|"
  return filter;
}

const std::string& TFileFormatList::openFilter() {
  if (!openFilter_) openFilter_ = buildFilter(kAllPictureKinds);
  return *openFilter_;
}

void TFileFormatList::clear() {
  appendFrom_ = static_cast<std::size_t>(-1);
  decoders_.clear();
  extensions_.clear();
  openFilter_.reset();
}

void registerStandardFormats(TFileFormatList& list) {
  struct Registration {
    const char* extension;
    const char* common;
    const char* description;
    PictureKinds kinds;
    DecoderKind decoder;
  };
  using enum DecoderKind;
  static constexpr Registration kFormats[] = {
      {"bmp", "Bitmaps Windows", "", pkRaster, dkBitmap},
      {"rle", "Bitmaps Windows", "Bitmaps Windows (Run length encoded)", pkRaster, dkBitmap},
      {"dib", "Bitmaps Windows", "Bitmaps Windows (Device independant)", pkRaster, dkBitmap},
      {"ico", "Icones Windows", "", pkRaster, dkIcon},
      {"wmf", "Metafiles Windows", "", pkVector, dkMetafile},
      {"emf", "Metafiles Windows", "Metafiles Windows améliorés", pkVector, dkMetafile},
      {"jfif", "Images JPG", "Images JFIF images", pkRaster, dkJpeg},
      {"jpg", "Images JPG", "Images JPG", pkRaster, dkJpeg},
      {"jpe", "Images JPG", "Images JPE images", pkRaster, dkJpeg},
      {"jpeg", "Images JPG", "Images JPEG", pkRaster, dkJpeg},
      {"win", "Images Truevision", "", pkRaster, dkTarga},
      {"vst", "Images Truevision", "", pkRaster, dkTarga},
      {"vda", "Images Truevision", "", pkRaster, dkTarga},
      {"tga", "Images Truevision", "", pkRaster, dkTarga},
      {"icb", "Images Truevision", "", pkRaster, dkTarga},
      {"tiff", "Images Tagged image file format", "Images TIFF Macintosh", pkRaster | pkMultiImage,
       dkTiff},
      {"tif", "Images Tagged image file format", "Images PC TIF", pkRaster | pkMultiImage, dkTiff},
      {"fax", "Images Tagged image file format", "Images GFI fax", pkRaster | pkMultiImage, dkTiff},
      {"eps", "Images Postscript Encapsulées", "", pkRaster, dkEps},
      {"pcx", "Images ZSoft Paintbrush", "", pkRaster, dkPaintbrush},
      {"pcc", "Images ZSoft Paintbrush", "", pkRaster, dkPaintbrush},
      {"scr", "Images ZSoft Paintbrush", "Capture d'ecrant Word 5.x", pkRaster, dkPaintbrush},
      {"rpf", "Images Alias/Wavefront", "", pkRaster, dkAliasWavefront},
      {"rla", "Images Alias/Wavefront", "", pkRaster, dkAliasWavefront},
      {"sgi", "Images SGI", "Images SGI true color", pkRaster, dkSgi},
      {"rgba", "Images SGI", "Images SGI true color avec canal alpha", pkRaster, dkSgi},
      {"rgb", "Images SGI", "Images SGI true color", pkRaster, dkSgi},
      {"bw", "Images SGI", "Images SGI noir/blanc", pkRaster, dkSgi},
      {"psd", "Images Photoshop", "", pkRaster | pkLayered, dkPhotoshop},
      {"pdd", "Images Photoshop", "", pkRaster | pkLayered, dkPhotoshop},
      {"ppm", "Images Portable map", "Images Portable pixel map", pkRaster, dkPortableMap},
      {"pgm", "Images Portable map", "Images Portable gray map", pkRaster, dkPortableMap},
      {"pbm", "Images Portable map", "Images Portable bitmap", pkRaster, dkPortableMap},
      {"cel", "Images Autodesk", "", pkRaster, dkAutodesk},
      {"pic", "Images Autodesk", "", pkRaster, dkAutodesk},
      {"pcd", "Images Kodak Photo-CD", "", pkRaster, dkPhotoCd},
      {"cut", "Images Dr. Halo", "", pkRaster, dkDrHalo},
      {"psp", "Images Paintshop Pro", "", pkRaster | pkVector, dkPaintShopPro},
      {"png", "Images Portable network graphic", "", pkRaster, dkPng},
      {"gif", "Images GIF", "", pkRaster | pkMultiImage | pkAnimation, dkGif},
  };
  for (const auto& f : kFormats)
    if (auto refused = list.add(f.extension, f.common, f.description, f.kinds, f.decoder))
      throw std::logic_error(*refused);  // a programming error: the table lists each once
}

void registerPhotoFormats(TFileFormatList& list) {
  using enum DecoderKind;
  list.startAppendedFormats();
  const struct {
    const char* extension;
    const char* common;
    PictureKinds kinds;
    DecoderKind decoder;
  } kFormats[] = {
      {"heic", "Images HEIF", pkRaster | pkMultiImage, dkHeif},
      {"heif", "Images HEIF", pkRaster | pkMultiImage, dkHeif},
      {"avif", "Images AVIF", pkRaster | pkAnimation, dkAvif},
      {"webp", "Images WebP", pkRaster | pkAnimation, dkWebp},
      {"jxl", "Images JPEG XL", pkRaster | pkAnimation, dkJxl},
  };
  for (const auto& f : kFormats)
    if (auto refused = list.add(f.extension, f.common, "", f.kinds, f.decoder))
      throw std::logic_error(*refused);
}

TFileFormatList& fileFormats() {
  static TFileFormatList list = [] {
    TFileFormatList l;
    registerStandardFormats(l);
    registerPhotoFormats(l);
    return l;
  }();
  return list;
}

}  // namespace vorlino
