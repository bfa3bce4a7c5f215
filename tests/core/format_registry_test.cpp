// The registry of readable formats and the open filter built from it.
#include "imagefile/format_registry.h"

#include <gtest/gtest.h>

#include <string>

namespace vorlino {
namespace {

const char* const kOpenFilter =
    "Toutes les images|*.bmp; *.bw; *.cel; *.cut; *.dib; *.emf; *.eps; *.fax; *.gif; *.icb; "
    "*.ico; *.jfif; *.jpe; *.jpeg; *.jpg; *.pbm; *.pcc; *.pcd; *.pcx; *.pdd; *.pgm; *.pic; *.png; "
    "*.ppm; *.psd; *.psp; *.rgb; *.rgba; *.rla; *.rle; *.rpf; *.scr; *.sgi; *.tga; *.tif; *.tiff; "
    "*.vda; *.vst; *.win; *.wmf|Bitmaps Windows (*.bmp; *.dib; *.rle)|*.bmp; *.dib; *.rle|Icones "
    "Windows (*.ico)|*.ico|Images Alias/Wavefront (*.rla; *.rpf)|*.rla; *.rpf|Images Autodesk "
    "(*.cel; *.pic)|*.cel; *.pic|Images Dr. Halo (*.cut)|*.cut|Images GIF (*.gif)|*.gif|Images JPG "
    "(*.jfif; *.jpe; *.jpeg; *.jpg)|*.jfif; *.jpe; *.jpeg; *.jpg|Images Kodak Photo-CD "
    "(*.pcd)|*.pcd|Images Paintshop Pro (*.psp)|*.psp|Images Photoshop (*.pdd; *.psd)|*.pdd; "
    "*.psd|Images Portable map (*.pbm; *.pgm; *.ppm)|*.pbm; *.pgm; *.ppm|Images Portable network "
    "graphic (*.png)|*.png|Images Postscript Encapsulées (*.eps)|*.eps|Images SGI (*.bw; *.rgb; "
    "*.rgba; *.sgi)|*.bw; *.rgb; *.rgba; *.sgi|Images Tagged image file format (*.fax; *.tif; "
    "*.tiff)|*.fax; *.tif; *.tiff|Images Truevision (*.icb; *.tga; *.vda; *.vst; *.win)|*.icb; "
    "*.tga; *.vda; *.vst; *.win|Images ZSoft Paintbrush (*.pcc; *.pcx; *.scr)|*.pcc; *.pcx; "
    "*.scr|Metafiles Windows (*.emf; *.wmf)|*.emf; *.wmf";

// The program's own registry: the photo formats follow, each on its own line after the sorted
// ones, and their extensions end the first list.
std::string programFilter() {
  std::string f = kOpenFilter;
  f.insert(f.find("*.wmf|") + 5, "; *.heic; *.heif; *.avif; *.webp; *.jxl");
  return f +
         "|Images HEIF (*.heic; *.heif)|*.heic; *.heif|Images AVIF (*.avif)|*.avif|Images WebP "
         "(*.webp)|*.webp|Images JPEG XL (*.jxl)|*.jxl";
}

TEST(FormatRegistryTest, StandardRegistryHoldsFortyExtensionsForEighteenDecoders) {
  TFileFormatList list;
  registerStandardFormats(list);
  ASSERT_EQ(list.extensions().size(), 40u);
  ASSERT_EQ(list.decoders().size(), 18u);
  EXPECT_EQ(list.extensions().front().extension, "bmp");
  EXPECT_EQ(list.extensions()[38].extension, "png");
  EXPECT_EQ(list.extensions().back().extension, "gif");
  EXPECT_EQ(list.decoders()[4].description, "Images Truevision");
  EXPECT_EQ(list.decoders()[4].extensionCount, 5);
  EXPECT_EQ(list.decoders().back().description, "Images GIF");
  int total = 0;
  for (const auto& d : list.decoders()) total += d.extensionCount;
  EXPECT_EQ(total, 40);

  auto find = [&](const std::string& ext) -> const TFileFormatList::ExtensionEntry& {
    for (const auto& e : list.extensions())
      if (e.extension == ext) return e;
    throw std::runtime_error("missing " + ext);
  };
  EXPECT_EQ(find("dib").description, "Bitmaps Windows (Device independant)");
  EXPECT_EQ(find("emf").description, "Metafiles Windows améliorés");
  EXPECT_EQ(find("scr").description, "Capture d'ecrant Word 5.x");
  EXPECT_EQ(find("rgba").description, "Images SGI true color avec canal alpha");
  EXPECT_EQ(find("tga").description, "");
  EXPECT_EQ(find("gif").kinds, pkRaster | pkMultiImage | pkAnimation);
  EXPECT_EQ(find("psp").kinds, pkRaster | pkVector);
  EXPECT_EQ(find("pdd").kinds, pkRaster | pkLayered);
  EXPECT_EQ(find("wmf").kinds, pkVector);
}

TEST(FormatRegistryTest, OpenFilterIsExactAndBuiltOnce) {
  TFileFormatList list;
  registerStandardFormats(list);
  const std::string& first = list.openFilter();
  EXPECT_EQ(first, kOpenFilter);
  EXPECT_EQ(&list.openFilter(), &first);  // the cached text, not a new one
  EXPECT_EQ(fileFormats().openFilter(), programFilter());
  // Only the vector formats.
  EXPECT_EQ(list.buildFilter(pkVector),
            "Toutes les images|*.emf; *.psp; *.wmf|Images Paintshop Pro (*.psp)|*.psp|"
            "Metafiles Windows (*.emf; *.wmf)|*.emf; *.wmf");
  list.clear();
  EXPECT_TRUE(list.extensions().empty());
  EXPECT_TRUE(list.decoders().empty());
}

TEST(FormatRegistryTest, ReRegistrationIsRefusedUnlessReplacing) {
  TFileFormatList list;
  registerStandardFormats(list);
  const std::string before = list.openFilter();
  auto refused = list.add(".BMP", "Images GIF", "", pkRaster, DecoderKind::dkGif);
  ASSERT_TRUE(refused.has_value());
  EXPECT_EQ(*refused, "Tentative de re-enregistrement des fichiers bmp.");
  EXPECT_EQ(list.decoderFor("bmp"), DecoderKind::dkBitmap);
  EXPECT_EQ(list.openFilter(), before);

  EXPECT_FALSE(list.add("bmp", "", "", pkRaster, DecoderKind::dkGif, true).has_value());
  EXPECT_EQ(list.decoderFor("bmp"), DecoderKind::dkGif);
  EXPECT_EQ(list.extensions().size(), 40u);
  EXPECT_EQ(list.decoders()[0].extensionCount, 2);
  EXPECT_EQ(list.decoders().back().description, "Images GIF");  // an empty one does not replace
  const std::string& after = list.openFilter();
  EXPECT_NE(after.find("Bitmaps Windows (*.dib; *.rle)|*.dib; *.rle|"), std::string::npos);
  EXPECT_NE(after.find("Images GIF (*.bmp; *.gif)|*.bmp; *.gif|"), std::string::npos);
}

TEST(FormatRegistryTest, LookupIgnoresCase) {
  const TFileFormatList& list = fileFormats();
  EXPECT_EQ(list.decoderFor("JPG"), DecoderKind::dkJpeg);
  EXPECT_EQ(list.decoderFor("jpg"), DecoderKind::dkJpeg);
  EXPECT_EQ(list.decoderFor("Tga"), DecoderKind::dkTarga);
  EXPECT_EQ(list.decoderFor("txt"), std::nullopt);
  EXPECT_EQ(list.decoderFor("HEIC"), DecoderKind::dkHeif);
  EXPECT_EQ(list.decoderFor("heif"), DecoderKind::dkHeif);
  EXPECT_EQ(list.decoderFor("avif"), DecoderKind::dkAvif);
  EXPECT_EQ(list.decoderFor("WebP"), DecoderKind::dkWebp);
  EXPECT_EQ(list.decoderFor("jxl"), DecoderKind::dkJxl);
  EXPECT_EQ(list.decoderFor(""), std::nullopt);
}

}  // namespace
}  // namespace vorlino
