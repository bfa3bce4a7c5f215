// A file written piece by piece that takes its place only when complete: the streamed
// counterpart of writeFileReplacing. Bytes go to a temporary file in the target's folder; commit()
// flushes it to the disk and renames it over the target; anything else (a failure, an early
// return, the object going away) removes the temporary file and leaves an existing target as it
// was. Links are followed and an existing file's permission bits are kept, as in the one-piece
// save.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imagefile/codec.h"

namespace vorlino {

class ReplacingFile {
 public:
  ReplacingFile() = default;
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Creates the temporary file for fileName. ceIo with the system's reason on failure.
  CodecResult open(const std::string& fileName) noexcept;
  // Appends bytes (buffered).
  CodecResult write(const void* data, std::size_t size) noexcept;
  // Writes bytes at an absolute offset, before or past the end of what was appended (for formats
  // whose rows are stored bottom-up or whose header is known only at the end).
  CodecResult writeAt(std::uint64_t offset, const void* data, std::size_t size) noexcept;
  // Bytes appended so far (the offset of the next write()).
  std::uint64_t size() const { return appended_; }
  // Flushes, syncs, renames into place and syncs the folder.
  CodecResult commit() noexcept;

 private:
  CodecResult flush() noexcept;

  int fd_ = -1;
  std::string temp_;    // cleared once renamed
  std::string target_;  // the file replaced, links resolved
  std::string folder_;
  std::vector<std::uint8_t> buffer_;
  std::uint64_t flushed_ = 0;   // file offset where buffer_ starts
  std::uint64_t appended_ = 0;  // flushed_ + buffer_.size()
};

}  // namespace vorlino
