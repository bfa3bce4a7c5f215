// The one routine that puts an encoded file on disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imagefile/codec.h"

namespace vorlino {

// Writes bytes to fileName without ever leaving a half-written file there: the bytes go to a
// temporary file in the same folder, which is flushed to the disk and then renamed over
// fileName. On any failure the temporary file is removed and an existing fileName is left as it
// was. A symbolic link is followed: the file it names is replaced, the link stays. An existing
// file's permission bits are kept. Fails with ceIo and the system's reason as detail.
CodecResult writeFileReplacing(const std::string& fileName,
                               const std::vector<std::uint8_t>& bytes) noexcept;

}  // namespace vorlino
