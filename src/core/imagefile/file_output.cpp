#include "imagefile/file_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vorlino {
namespace {

CodecResult ioFailure(const char* what, int error) {
  return CodecResult::fail(CodecError::ceIo, std::string(what) + ": " + std::strerror(error));
}

// Closes the temporary file and removes it unless it was renamed into place.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (fd >= 0) ::close(fd);
    if (!path.empty()) ::unlink(path.c_str());
  }
  int fd = -1;
  std::string path;  // cleared once the file has been renamed
};

bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

CodecResult writeReplacing(const std::string& fileName, const std::vector<std::uint8_t>& bytes) {
  std::string target = fileName;
  struct stat info {};
  if (::lstat(target.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    if (char* real = ::realpath(target.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  if (base.empty()) return CodecResult::fail(CodecError::ceIo, "no file name");
  if (base.size() > 200) base.resize(200);  // room for the suffix within a name's length limit

  TemporaryFile temp;
  // Shared by the threads that frame a folder: each save takes its own number.
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; temp.fd < 0; ++attempt) {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".%ld.%u.tmp", static_cast<long>(::getpid()),
                  counter.fetch_add(1) + 1);
    std::string path = folder + "." + base + suffix;
    // 0666 less the umask, as for any newly created file.
    temp.fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (temp.fd >= 0) {
      temp.path = std::move(path);
    } else if (errno != EEXIST || attempt > 100) {
      return ioFailure("create", errno);
    }
  }
  struct stat existing {};
  if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
    ::fchmod(temp.fd, existing.st_mode & 07777);

  if (!writeAll(temp.fd, bytes.data(), bytes.size())) return ioFailure("write", errno);
  if (::fsync(temp.fd) != 0) return ioFailure("fsync", errno);
  const int fd = temp.fd;
  temp.fd = -1;
  if (::close(fd) != 0) return ioFailure("close", errno);
  if (::rename(temp.path.c_str(), target.c_str()) != 0) return ioFailure("rename", errno);
  temp.path.clear();
  // Make the rename itself durable; a failure here no longer endangers any data.
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return CodecResult::success();
}

}  // namespace

CodecResult writeFileReplacing(const std::string& fileName,
                               const std::vector<std::uint8_t>& bytes) noexcept {
  return runCodec([&] { return writeReplacing(fileName, bytes); });
}

}  // namespace vorlino
