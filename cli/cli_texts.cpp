#include "cli_texts.h"

#include <cctype>
#include <cstdlib>
#include <string_view>

namespace vorlino::cli {
namespace {

struct Text {
  const char* french;
  const char* english;
};

// The same English as the window's translation (translations/vorlino_en.ts, context CoreTexts).
constexpr Text kEnglish[] = {
    {"Impossible d'ouvrir l'image dans le fichier \"%1\"",
     "Cannot open the image in the file \"%1\""},
    {"Impossible d'enregistrer l'image dans le fichier \"%1\"",
     "Cannot save the image to the file \"%1\""},
    {"car le format n'est pas reconnu !", "because the format is not recognised!"},
    {"\"%1\" existe déjà", "\"%1\" already exists"},
    {"Impossible de lire le fichier \"%1\". Les découpes par défaut sont utilisées.",
     "Cannot read the file \"%1\". The default cuts are used."},
    {"Le fichier \"%1\" doit contenir quatre nombres entiers : gauche, haut, droite et bas. Les "
     "découpes par défaut sont utilisées.",
     "The file \"%1\" must hold four whole numbers: left, top, right and bottom. The default cuts "
     "are used."},
    {"Les découpes du fichier \"%1\" ne conviennent pas à ce masque de %2 x %3 pixels : il faut "
     "0 < gauche < droite < %2 et 0 < haut < bas < %3. Les découpes par défaut sont utilisées.",
     "The cuts in the file \"%1\" do not suit this mask of %2 x %3 pixels: they need 0 < left < "
     "right < %2 and 0 < top < bottom < %3. The default cuts are used."},
    // The label of info's EXIF orientation.
    {"orientation EXIF", "EXIF orientation"},
    // The decoders' descriptions that info shows.
    {"Bitmaps Windows", "Windows bitmaps"},
    {"Icones Windows", "Windows icons"},
    {"Metafiles Windows", "Windows metafiles"},
    {"Images JPG", "JPG images"},
    {"Images Truevision", "Truevision images"},
    {"Images Tagged image file format", "Tagged image file format images"},
    {"Images Postscript Encapsulées", "Encapsulated PostScript images"},
    {"Images ZSoft Paintbrush", "ZSoft Paintbrush images"},
    {"Images Alias/Wavefront", "Alias/Wavefront images"},
    {"Images SGI", "SGI images"},
    {"Images Photoshop", "Photoshop images"},
    {"Images Portable map", "Portable map images"},
    {"Images Autodesk", "Autodesk images"},
    {"Images Kodak Photo-CD", "Kodak Photo-CD images"},
    {"Images Dr. Halo", "Dr. Halo images"},
    {"Images Paintshop Pro", "Paintshop Pro images"},
    {"Images Portable network graphic", "Portable network graphic images"},
    {"Images GIF", "GIF images"},
    {"Images HEIF", "HEIF images"},
    {"Images AVIF", "AVIF images"},
    {"Images WebP", "WebP images"},
    {"Images JPEG XL", "JPEG XL images"},
};

bool empty(const char* value) {
  return value == nullptr || *value == '\0';
}

bool isCLocale(std::string_view locale) {
  return locale.empty() || locale == "C" || locale == "POSIX" || locale.rfind("C.", 0) == 0;
}

// Matches text against pattern from the given offsets; %N takes any text the first time and the
// same text again after.
bool matchFrom(std::string_view pattern, std::size_t p, std::string_view text, std::size_t t,
               std::string (&values)[10], bool (&set)[10]) {
  if (p == pattern.size()) return t == text.size();
  if (pattern[p] == '%' && p + 1 < pattern.size() && pattern[p + 1] >= '1' &&
      pattern[p + 1] <= '9') {
    const int n = pattern[p + 1] - '0';
    if (set[n]) {
      if (text.substr(t, values[n].size()) != values[n]) return false;
      return matchFrom(pattern, p + 2, text, t + values[n].size(), values, set);
    }
    set[n] = true;
    for (std::size_t end = text.size() + 1; end-- > t;) {
      values[n] = std::string(text.substr(t, end - t));
      if (matchFrom(pattern, p + 2, text, end, values, set)) return true;
    }
    set[n] = false;
    return false;
  }
  if (t >= text.size() || pattern[p] != text[t]) return false;
  return matchFrom(pattern, p + 1, text, t + 1, values, set);
}

std::string englishLine(const std::string& line) {
  for (const Text& entry : kEnglish) {
    std::string values[10];
    bool set[10] = {};
    if (!matchFrom(entry.french, 0, line, 0, values, set)) continue;
    std::string english;
    for (const char* c = entry.english; *c != '\0'; ++c) {
      if (c[0] == '%' && c[1] >= '1' && c[1] <= '9' && set[c[1] - '0']) {
        english += values[c[1] - '0'];
        ++c;
      } else {
        english += *c;
      }
    }
    return english;
  }
  return line;
}

}  // namespace

CliLanguage languageOf(const char* language, const char* lcAll, const char* lcMessages,
                       const char* lang) {
  const char* locale = !empty(lcAll) ? lcAll : !empty(lcMessages) ? lcMessages : lang;
  std::string_view chosen = empty(locale) ? "" : locale;
  if (isCLocale(chosen)) return CliLanguage::clFrench;
  if (!empty(language)) {
    const std::string_view list(language);
    chosen = list.substr(0, list.find(':'));
  }
  return chosen.rfind("en", 0) == 0 &&
                 (chosen.size() == 2 || !std::isalpha(static_cast<unsigned char>(chosen[2])))
             ? CliLanguage::clEnglish
             : CliLanguage::clFrench;
}

CliLanguage systemLanguage() {
  static const CliLanguage language = languageOf(std::getenv("LANGUAGE"), std::getenv("LC_ALL"),
                                                 std::getenv("LC_MESSAGES"), std::getenv("LANG"));
  return language;
}

std::string localized(const std::string& french, CliLanguage language) {
  if (language == CliLanguage::clFrench) return french;
  std::string result;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = french.find_first_of("\r\n", start);
    result += englishLine(french.substr(start, end - start));
    if (end == std::string::npos) return result;
    result += french[end];
    start = end + 1;
  }
}

std::string localized(const std::string& french) {
  return localized(french, systemLanguage());
}

}  // namespace vorlino::cli
