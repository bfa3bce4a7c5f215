// vorlino-cli: the program's reading, resizing, framing and saving from the command line, through
// the same core functions as the window, so that results are bit-identical.
#pragma once

#include <ostream>

namespace vorlino::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitUsage = 2;

// Runs one command line; messages go to out (results) and err (errors). Returns the exit status.
int run(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace vorlino::cli
