// The folders the mask gallery lists, and adding pictures to the user's own masks.
#pragma once

#include <string>
#include <vector>

namespace vorlino {

// xdgDataHome + "/vorlino/Masques/" when xdgDataHome is absolute, else
// home + "/.local/share/vorlino/Masques/".
std::string userMasksFolderFor(const std::string& xdgDataHome, const std::string& home);
// userMasksFolderFor with the environment's XDG_DATA_HOME and HOME.
std::string userMasksFolder();

// xdgCacheHome + "/vorlino/" when xdgCacheHome is absolute, else home + "/.cache/vorlino/".
std::string thumbnailCacheFolderFor(const std::string& xdgCacheHome, const std::string& home);
std::string thumbnailCacheFolder();

// The full names of the files in folder whose extension the loader reads, sorted by name without
// regard to letter case. Empty when the folder does not exist.
std::vector<std::string> listMaskPictures(const std::string& folder);

// Whether the file is a picture the loader reads (its extension is registered and it decodes).
bool isReadablePicture(const std::string& path);

// Copies source into folder (created when needed) under its own name, or, when that name is
// taken, under "name (2).ext", "name (3).ext"...: an existing file is never replaced. Returns the
// new full name, or empty on failure.
std::string copyIntoFolder(const std::string& source, const std::string& folder);

}  // namespace vorlino
