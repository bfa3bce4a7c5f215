#include "imagefile/quiet_stderr.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>

namespace vorlino {
#ifndef VORLINO_STDERR_ALWAYS
namespace {

std::mutex gMutex;
int gDepth = 0;
int gSaved = -1;  // the original stderr while muted

}  // namespace
#endif

QuietStderr::QuietStderr() noexcept {
#ifndef VORLINO_STDERR_ALWAYS
  const std::lock_guard<std::mutex> lock(gMutex);
  if (gDepth++ > 0) return;
  std::fflush(stderr);
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0) return;
  gSaved = ::fcntl(2, F_DUPFD_CLOEXEC, 3);
  if (gSaved >= 0) ::dup2(null, 2);
  ::close(null);
#endif
}

QuietStderr::~QuietStderr() {
#ifndef VORLINO_STDERR_ALWAYS
  const std::lock_guard<std::mutex> lock(gMutex);
  if (--gDepth > 0 || gSaved < 0) return;
  std::fflush(stderr);
  ::dup2(gSaved, 2);
  ::close(gSaved);
  gSaved = -1;
#endif
}

}  // namespace vorlino
