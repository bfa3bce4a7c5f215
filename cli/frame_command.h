// "vorlino-cli frame": photos and folders of photos framed as "Appliquer le masque" does.
#pragma once

#include "cli_support.h"

namespace vorlino::cli {

inline constexpr int kFrameOk = 0;
inline constexpr int kFrameFailed = 1;

// Frames every photo the arguments name and saves each result; returns kFrameFailed when any
// photo failed (the others are still done). Usage errors are thrown as UsageError.
int commandFrame(const Arguments& a, StreamPrompts& messages);

}  // namespace vorlino::cli
