// Keeps the diagnostics a C library prints on the standard error stream away from the user.
//
// libjxl writes a line to stderr for every error it meets in a damaged file, and the codecs under
// libheif (libde265, dav1d, aom) do for some damaged streams; none offers a way to turn that off.
// While at least one QuietStderr lives, file descriptor 2 of the whole process points at /dev/null;
// the last one to go puts the original back. Whatever another thread writes to stderr meanwhile is
// lost too, so a guard covers only the library calls.
#pragma once

namespace vorlino {

class QuietStderr {
 public:
  QuietStderr() noexcept;
  ~QuietStderr();
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;
};

}  // namespace vorlino
