#include "settings/app_paths.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vorlino {

namespace {

namespace fs = std::filesystem;

std::string asFolder(fs::path p) {
  std::string s = p.lexically_normal().string();
  if (s.empty() || s.back() != '/') s += '/';
  return s;
}

bool isFolder(const fs::path& p) {
  std::error_code ec;
  return fs::is_directory(p, ec);
}

bool isFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

}  // namespace

std::string settingsPathFor(const std::string& programDir, const std::string& xdgConfigHome,
                            const std::string& home) {
  const fs::path beside = fs::path(asFolder(programDir)) / kSettingsFileName;
  std::error_code ec;
  if (fs::exists(beside, ec)) return beside.string();
  // An installed program shares its folder (/usr/bin, ~/.local/bin) with others: even when that
  // folder is writable (root, a user's own prefix), the preferences go to the user's folder.
  const bool installed = isFolder(installedDataDir(programDir));
  if (!installed && isFolder(programDir) && ::access(programDir.c_str(), W_OK) == 0)
    return beside.string();
  // The XDG rule: a relative XDG_CONFIG_HOME is invalid and ignored.
  const fs::path configHome = !xdgConfigHome.empty() && fs::path(xdgConfigHome).is_absolute()
                                  ? fs::path(xdgConfigHome)
                                  : fs::path(home) / ".config";
  return (configHome / "Vorlino" / kSettingsFileName).lexically_normal().string();
}

std::string settingsPath(const std::string& programDir) {
  return settingsPathFor(programDir, environment("XDG_CONFIG_HOME"), environment("HOME"));
}

std::string installedDataDir(const std::string& programDir) {
  return asFolder(fs::path(asFolder(programDir)) / ".." / "share" / "vorlino");
}

std::string masksFolder(const std::string& programDir, const std::string& dataDir) {
  const fs::path beside = fs::path(asFolder(programDir)) / "Masques";
  if (isFolder(beside)) return asFolder(beside);
  if (!dataDir.empty()) {
    const fs::path installed = fs::path(asFolder(dataDir)) / "Masques";
    if (isFolder(installed)) return asFolder(installed);
  }
  return asFolder(programDir);
}

std::string userGuidePath(const std::string& programDir, const std::string& fileName) {
  const fs::path folder(asFolder(programDir));
  const fs::path installed =
      (folder / ".." / "share" / "doc" / "vorlino" / fileName).lexically_normal();
  if (isFile(installed)) return installed.string();
  // A build folder sits a few levels below the source tree.
  fs::path up = folder.lexically_normal().parent_path();
  for (int level = 0; level < 6 && !up.empty(); ++level) {
    const fs::path candidate = up / "docs" / fileName;
    if (isFile(candidate)) return candidate.string();
    if (up == up.parent_path()) break;
    up = up.parent_path();
  }
  return {};
}

}  // namespace vorlino
