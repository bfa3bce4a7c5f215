// Metafiles in vorlino-cli: they are drawn by the metafile module (render/metafile_module.h),
// which brings Qt with it, so the module is loaded only when a metafile is about to be read.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vorlino::cli {

// When one of names is a metafile (by its extension, as the decoder is chosen), loads the module
// from beside the program or from the private library folder of the installed package, makes the
// application object Qt draws text with, and installs the module's renderer as the metafile
// decoder. On the main thread, before any picture is read. Does nothing when no name is a
// metafile, or after the first call that found one.
// Returns the reason, once, when the module cannot be used; metafiles then fail to open as any
// unreadable file does.
std::optional<std::string> prepareMetafiles(const std::vector<std::string>& names);

}  // namespace vorlino::cli
