#include "batch/output_names.h"

#include <sys/stat.h>

#include <set>

#include "batch/frame_files.h"

namespace vorlino {

namespace fs = std::filesystem;

namespace {

fs::path resolved(const fs::path& p) {
  std::error_code ec;
  fs::path c = fs::weakly_canonical(p, ec);
  return ec ? fs::absolute(p, ec).lexically_normal() : c;
}

// The file a name leads to, by device and inode; nothing when it does not exist.
std::optional<std::pair<dev_t, ino_t>> fileIdentity(const fs::path& p) {
  struct stat st {};
  if (::stat(p.c_str(), &st) != 0) return std::nullopt;
  return std::make_pair(st.st_dev, st.st_ino);
}

}  // namespace

bool sameFile(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  if (fs::equivalent(a, b, ec)) return true;
  return resolved(a) == resolved(b);
}

BatchOutputNames nameBatchOutputs(const std::vector<BatchPicture>& pictures, const fs::path& dir,
                                  const std::optional<std::string>& format,
                                  const std::string& suffix, bool transparent) {
  BatchOutputNames names;
  // Photos by path, and by identity so that another name for one (a hard link) counts too.
  std::set<fs::path> inputs;
  std::set<std::pair<dev_t, ino_t>> inputFiles;
  for (const auto& picture : pictures) {
    inputs.insert(resolved(picture.first));
    if (const auto id = fileIdentity(picture.first)) inputFiles.insert(*id);
  }

  std::set<fs::path> taken;
  names.outputs.reserve(pictures.size());
  for (const auto& [file, relative] : pictures) {
    std::string name = frameOutputName(relative, dir, format, suffix, transparent);
    const std::string extension = relative.extension().string();
    const std::string own = "-" + extension.substr(extension.empty() ? 0 : 1);
    for (int n = 1; taken.count(resolved(name)) != 0; ++n)
      name = frameOutputName(relative, dir, format,
                             suffix + own + (n > 1 ? "-" + std::to_string(n) : ""), transparent);
    const fs::path target = resolved(name);
    const auto id = fileIdentity(target);
    if (inputs.count(target) != 0 || (id && inputFiles.count(*id) != 0)) {
      names.outputs.clear();
      names.replacedInput = file.string();
      return names;
    }
    taken.insert(target);
    names.outputs.push_back(std::move(name));
  }
  return names;
}

}  // namespace vorlino
