// The names of a batch's outputs, worked out once for the whole list before any photo is framed,
// so that the command line and the window write the same files and no photo's result takes the
// place of another's or of a photo.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vorlino {

// A photo of the batch: its path, and its name relative to the folder it was found in (what
// listPictures gives).
using BatchPicture = std::pair<std::filesystem::path, std::filesystem::path>;

struct BatchOutputNames {
  // One output per picture, in the order of the pictures.
  std::vector<std::string> outputs;
  // When an output would be one of the pictures themselves: that picture (outputs is then empty).
  std::optional<std::string> replacedInput;
};

// Names every picture's output in dir as frameOutputName does. Two pictures that would get the
// same output (photos that differ only by their extension, or alike names from several inputs):
// the first keeps the plain name, the later ones add "-" and their own extension to the suffix,
// then "-2", "-3"... until the name is free. Names are compared after resolving "..", links and
// the like, as far as the folders exist. An output that is one of the pictures refuses the whole
// list.
BatchOutputNames nameBatchOutputs(const std::vector<BatchPicture>& pictures,
                                  const std::filesystem::path& dir,
                                  const std::optional<std::string>& format,
                                  const std::string& suffix, bool transparent);

// Whether two names lead to the same file (the same resolved path, or the same existing file).
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace vorlino
