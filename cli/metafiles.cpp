#include "metafiles.h"

#include <dlfcn.h>

#include <filesystem>

#include "imagefile/decoders.h"
#include "imagefile/format_registry.h"
#include "imagefile/load_image.h"
#include "render/metafile_module.h"

namespace vorlino::cli {
namespace {

namespace fs = std::filesystem;

MetafileRenderer gRender = nullptr;

CodecResult readThroughModule(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept {
  return readMetafileWith(gRender, in, out, limits);
}

bool isMetafile(const std::string& name) {
  const std::string ext = fileExtension(name);
  return !ext.empty() && fileFormats().decoderFor(ext) == DecoderKind::dkMetafile;
}

// Where the module may be: the private library folder of the installed package, as seen from the
// program's own folder, then the program's folder itself (the build tree).
std::vector<fs::path> moduleCandidates() {
  std::error_code error;
  const fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (error) return {};
  const fs::path folder = program.parent_path();
  return {(folder / VORLINO_METAFILE_MODULE_DIR / VORLINO_METAFILE_MODULE_FILE).lexically_normal(),
          folder / VORLINO_METAFILE_MODULE_FILE};
}

// The module's table, or the reason it cannot be had.
const MetafileModule* loadModule(std::string& why) {
  const std::vector<fs::path> candidates = moduleCandidates();
  for (const fs::path& path : candidates) {
    std::error_code error;
    if (!fs::exists(path, error)) continue;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* text = dlerror();
      why = text ? text : path.string() + ": cannot be loaded";
      return nullptr;
    }
    const auto entry = reinterpret_cast<MetafileModuleEntry>(dlsym(handle, kMetafileModuleEntry));
    const MetafileModule* module = entry ? entry() : nullptr;
    if (!module || module->version != kMetafileModuleVersion) {
      why = path.string() + " belongs to another build of the program";
      dlclose(handle);
      return nullptr;
    }
    return module;  // kept loaded until the process ends
  }
  why = "the module " VORLINO_METAFILE_MODULE_FILE " is missing";
  for (std::size_t i = 0; i < candidates.size(); ++i)
    why += (i == 0 ? " (looked for " : " and ") + candidates[i].string() +
           (i + 1 == candidates.size() ? ")" : "");
  return nullptr;
}

}  // namespace

std::optional<std::string> prepareMetafiles(const std::vector<std::string>& names) {
  static bool done = false;
  if (done) return std::nullopt;
  bool any = false;
  for (const std::string& name : names) any = any || isMetafile(name);
  if (!any) return std::nullopt;
  done = true;
  std::string why;
  const MetafileModule* module = loadModule(why);
  if (!module) return "vorlino-cli: metafiles cannot be drawn: " + why;
  module->startApplication();
  gRender = module->render;
  setMetafileDecoder(&readThroughModule);
  return std::nullopt;
}

}  // namespace vorlino::cli
