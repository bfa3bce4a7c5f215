// The registry of readable picture formats and the open dialog's file-type filter built from it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "imagefile/decoder_kind.h"

namespace vorlino {

// Kinds of picture a format holds, as a set of flags.
enum PictureKind : unsigned {
  pkAnimation = 1u << 0,
  pkLayered = 1u << 1,
  pkMultiImage = 1u << 2,
  pkRaster = 1u << 3,
  pkVector = 1u << 4,
};
using PictureKinds = unsigned;
inline constexpr PictureKinds kAllPictureKinds =
    pkAnimation | pkLayered | pkMultiImage | pkRaster | pkVector;

class TFileFormatList {
 public:
  struct DecoderEntry {
    DecoderKind decoder;
    std::string description;  // the last non-empty common description given for it
    int extensionCount = 0;
  };
  struct ExtensionEntry {
    std::string extension;    // lower case, without the dot
    std::string description;  // individual description, may be empty
    PictureKinds kinds = 0;
    std::size_t decoder = 0;  // index into decoders()
  };

  // Registers an extension (with or without its dot, any case) for a decoder. An extension already
  // present gets the new decoder only when `replace` is set; otherwise the registration is refused
  // and the refusal message is returned ("Tentative de re-enregistrement des fichiers %s.").
  [[nodiscard]] std::optional<std::string> add(std::string_view extension,
                                               std::string_view commonDescription,
                                               std::string_view description, PictureKinds kinds,
                                               DecoderKind decoder, bool replace = false);

  const std::vector<DecoderEntry>& decoders() const { return decoders_; }
  const std::vector<ExtensionEntry>& extensions() const { return extensions_; }

  // The decoder registered for an extension (without the dot), compared without regard to case.
  std::optional<DecoderKind> decoderFor(std::string_view extension) const;

  // The filter text "description|patterns|..." of the formats whose kinds meet `kinds`: a leading
  // "Toutes les images" entry with every extension, then one entry per decoder sorted by
  // description, each showing its sorted extensions in the description.
  std::string buildFilter(PictureKinds kinds) const;
  // Decoders registered after this call are listed after the sorted ones, in registration order,
  // and their extensions end the "Toutes les images" list in registration order, so that formats
  // added to the program leave the established filter text as it was.
  void startAppendedFormats() { appendFrom_ = decoders_.size(); }
  // The open dialog's filter (all kinds), built on first use and kept until clear().
  const std::string& openFilter();

  // Empties the registry and drops the cached filter.
  void clear();

 private:
  std::vector<DecoderEntry> decoders_;
  std::vector<ExtensionEntry> extensions_;
  std::optional<std::string> openFilter_;
  std::size_t appendFrom_ = static_cast<std::size_t>(-1);
};

// Fills a registry with the program's 40 extensions for 18 decoders, in registration order.
void registerStandardFormats(TFileFormatList& list);

// Appends the photo formats read through libheif, libwebp and libjxl (heic, heif, avif, webp,
// jxl), each decoder after startAppendedFormats().
void registerPhotoFormats(TFileFormatList& list);

// The program's registry, filled with the standard and the photo formats on first use.
TFileFormatList& fileFormats();

}  // namespace vorlino
