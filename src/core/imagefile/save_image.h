// Saving a bitmap to a file whose format follows from the file name's extension: the table of
// writable formats, the save dialog's filter, the before-save event and the failure messages.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "bitmap/bitmap.h"
#include "imagefile/jpeg_writer.h"
#include "imagefile/metadata.h"

namespace vorlino {

// The writers, numbered as the rows of the save format table.
enum class SaveFormat { sfBmp, sfRle, sfGif, sfJpeg, sfPng, sfTiff, sfTarga, sfWebp };

struct SaveFormatRow {
  const char* extensions;  // with their dot, separated by ";"
  const char* description;
};
inline constexpr int kSaveFormatCount = 8;
extern const SaveFormatRow kSaveFormats[kSaveFormatCount];

// The save dialog's filter, built from the table on first use.
const std::string& saveFilter();

// The encoder about to write: which writer, and for JPEG its settings record. WebP is written
// lossy at the quality of the same record (its progressive flag means nothing there).
struct SaveEncoder {
  SaveFormat format = SaveFormat::sfBmp;
  JpegOptions jpeg;
};

// The process-wide before-save handler slot (empty at start). The handler gets the encoder and an
// accept flag that enters true; clearing the flag cancels the save without a message.
using BeforeSaveHandler = std::function<void(SaveEncoder& encoder, bool& accept)>;
// Installs handler (an empty function empties the slot) and returns the previous one.
BeforeSaveHandler setBeforeSaveHandler(BeforeSaveHandler handler);

// The row whose extension list contains the lower-cased extension of name (from the last dot of
// its file name, dot included) as a substring, searching from the last row up; -1 when name has
// no extension or no row contains it.
int FindSaveFormat(const std::string& name);

// The writer that the extension of fileName selects, or nothing.
std::optional<SaveFormat> saveFormatOf(const std::string& fileName);

// Whether files of this format carry a photo's metadata and colour profile when saved.
bool formatCarriesMetadata(SaveFormat format);

// Whether files of this format keep the alpha of a 32-bit picture. The others get the picture
// composed over its TransparentColor (ComposeOverColour) before they are written.
bool formatKeepsAlpha(SaveFormat format);

// Writes bitmap to fileName by its extension. When fileName is empty, the save dialog is shown
// first (type preselected from defaultName, which is proposed without its extension) and the
// chosen name is written back. Returns 1 written, 0 cancelled (dialog or before-save handler),
// -1 writing failed, -2 unknown extension; a negative result has shown its error message. A
// failed write leaves any existing file untouched. The bitmap is the caller's copy. When metadata
// is given and the format carries it, the file gets those tags and that profile (see
// embedPhotoMetadata); should Exiv2 fail to place them, the picture is still written, without them.
int SaveImageFile(std::string& fileName, Bitmap& bitmap, const std::string& defaultName,
                  const PhotoMetadata* metadata = nullptr);

// Writes bitmap to fileName by its extension with the given JPEG settings: no dialog and no
// before-save event, for work that runs without the user (the command-line tool, folders framed
// on worker threads). Returns 1, -1 or -2, with the messages of SaveImageFile when reportFailures
// is set. Metadata as for SaveImageFile.
int SaveImageFileWith(const std::string& fileName, const Bitmap& bitmap, const JpegOptions& jpeg,
                      bool reportFailures = true, const PhotoMetadata* metadata = nullptr);

// The message of a failed save naming the file; with unknownFormat, the two-line form.
std::string saveFailureMessage(const std::string& fileName, bool unknownFormat);

}  // namespace vorlino
