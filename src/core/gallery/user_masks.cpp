#include "gallery/user_masks.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

#include "imagefile/format_registry.h"
#include "imagefile/load_image.h"

namespace vorlino {

namespace {

namespace fs = std::filesystem;

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string asFolder(const fs::path& p) {
  std::string s = p.lexically_normal().string();
  if (s.empty() || s.back() != '/') s += '/';
  return s;
}

// The XDG rule: a relative base folder is invalid and the default under home is used.
fs::path xdgBase(const std::string& value, const std::string& home, const char* fallback) {
  if (!value.empty() && fs::path(value).is_absolute()) return fs::path(value);
  return fs::path(home) / fallback;
}

bool hasReadableExtension(const fs::path& file) {
  return fileFormats().decoderFor(fileExtension(file.filename().string())).has_value();
}

}  // namespace

std::string userMasksFolderFor(const std::string& xdgDataHome, const std::string& home) {
  return asFolder(xdgBase(xdgDataHome, home, ".local/share") / "vorlino" / "Masques");
}

std::string userMasksFolder() {
  return userMasksFolderFor(environment("XDG_DATA_HOME"), environment("HOME"));
}

std::string thumbnailCacheFolderFor(const std::string& xdgCacheHome, const std::string& home) {
  return asFolder(xdgBase(xdgCacheHome, home, ".cache") / "vorlino");
}

std::string thumbnailCacheFolder() {
  return thumbnailCacheFolderFor(environment("XDG_CACHE_HOME"), environment("HOME"));
}

std::vector<std::string> listMaskPictures(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code fileEc;
    if (!it->is_regular_file(fileEc) || !hasReadableExtension(it->path())) continue;
    names.push_back(it->path().string());
  }
  // By name without regard to letter case, the exact spelling breaking ties.
  const auto key = [](const std::string& path) {
    std::string name = fs::path(path).filename().string();
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return std::pair(lower, name);
  };
  std::sort(names.begin(), names.end(),
            [&key](const std::string& a, const std::string& b) { return key(a) < key(b); });
  return names;
}

bool isReadablePicture(const std::string& path) {
  if (!hasReadableExtension(fs::path(path))) return false;
  Bitmap picture;
  return decodeImageFile(path, picture).ok();
}

std::string copyIntoFolder(const std::string& source, const std::string& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) return {};
  const fs::path from(source);
  const std::string stem = from.stem().string();
  const std::string extension = from.extension().string();
  for (int n = 1; n < 1000; ++n) {
    const std::string name =
        n == 1 ? stem + extension : stem + " (" + std::to_string(n) + ")" + extension;
    const fs::path target = fs::path(folder) / name;
    if (fs::exists(target, ec)) continue;
    // copy_options::none refuses an existing target, so a file made meanwhile is kept too.
    if (fs::copy_file(from, target, fs::copy_options::none, ec)) return target.string();
    if (!fs::exists(target, ec)) return {};
  }
  return {};
}

}  // namespace vorlino
