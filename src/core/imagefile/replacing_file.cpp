#include "imagefile/replacing_file.h"

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

// Small enough that the buffer's first touch costs little (each fresh page is a fault), large
// enough that writes stay few.
constexpr std::size_t kBufferBytes = std::size_t{256} << 10;

CodecResult ioFailure(const char* what, int error) {
  return CodecResult::fail(CodecError::ceIo, std::string(what) + ": " + std::strerror(error));
}

bool writeAllAt(int fd, const std::uint8_t* data, std::size_t size, std::uint64_t offset) {
  while (size > 0) {
    const ssize_t n = ::pwrite(fd, data, size, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
    offset += static_cast<std::uint64_t>(n);
  }
  return true;
}

}  // namespace

ReplacingFile::~ReplacingFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!temp_.empty()) ::unlink(temp_.c_str());
}

CodecResult ReplacingFile::open(const std::string& fileName) noexcept {
  return runCodec([&]() -> CodecResult {
    target_ = fileName;
    struct stat info {};
    if (::lstat(target_.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
      if (char* real = ::realpath(target_.c_str(), nullptr)) {
        target_ = real;
        std::free(real);
      }
    }
    const std::size_t slash = target_.rfind('/');
    folder_ = slash == std::string::npos ? "." : target_.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    if (base.empty()) return CodecResult::fail(CodecError::ceIo, "no file name");
    if (base.size() > 200) base.resize(200);  // room for the suffix within a name's length limit
    // Shared by the threads that frame a folder: each file takes its own number.
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; fd_ < 0; ++attempt) {
      char suffix[48];
      std::snprintf(suffix, sizeof suffix, ".%ld.s%u.tmp", static_cast<long>(::getpid()),
                    counter.fetch_add(1) + 1);
      std::string path = folder_ + "." + base + suffix;
      fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ >= 0) {
        temp_ = std::move(path);
      } else if (errno != EEXIST || attempt > 100) {
        return ioFailure("create", errno);
      }
    }
    struct stat existing {};
    if (::stat(target_.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
      ::fchmod(fd_, existing.st_mode & 07777);
    buffer_.reserve(kBufferBytes);
    return CodecResult::success();
  });
}

CodecResult ReplacingFile::flush() noexcept {
  if (buffer_.empty()) return CodecResult::success();
  if (!writeAllAt(fd_, buffer_.data(), buffer_.size(), flushed_)) return ioFailure("write", errno);
  // The disk starts writing these bytes now, while the rest is still being made, so that the
  // sync of commit() has only the last ones to wait for. A hint: its failure changes nothing.
  ::sync_file_range(fd_, static_cast<off_t>(flushed_), static_cast<off_t>(buffer_.size()),
                    SYNC_FILE_RANGE_WRITE);
  flushed_ += buffer_.size();
  buffer_.clear();
  return CodecResult::success();
}

CodecResult ReplacingFile::write(const void* data, std::size_t size) noexcept {
  if (fd_ < 0) return CodecResult::fail(CodecError::ceIo, "not open");
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  appended_ += size;
  if (buffer_.size() + size > kBufferBytes) {
    if (auto r = flush(); !r.ok()) return r;
    if (size >= kBufferBytes) {
      if (!writeAllAt(fd_, bytes, size, flushed_)) return ioFailure("write", errno);
      flushed_ += size;
      return CodecResult::success();
    }
  }
  buffer_.insert(buffer_.end(), bytes, bytes + size);
  return CodecResult::success();
}

CodecResult ReplacingFile::writeAt(std::uint64_t offset, const void* data,
                                   std::size_t size) noexcept {
  if (fd_ < 0) return CodecResult::fail(CodecError::ceIo, "not open");
  if (auto r = flush(); !r.ok()) return r;
  if (!writeAllAt(fd_, static_cast<const std::uint8_t*>(data), size, offset))
    return ioFailure("write", errno);
  return CodecResult::success();
}

CodecResult ReplacingFile::commit() noexcept {
  if (fd_ < 0) return CodecResult::fail(CodecError::ceIo, "not open");
  if (auto r = flush(); !r.ok()) return r;
  if (::fsync(fd_) != 0) return ioFailure("fsync", errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return ioFailure("close", errno);
  if (::rename(temp_.c_str(), target_.c_str()) != 0) return ioFailure("rename", errno);
  temp_.clear();
  // Make the rename itself durable; a failure here no longer endangers any data.
  const int dirFd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return CodecResult::success();
}

}  // namespace vorlino
