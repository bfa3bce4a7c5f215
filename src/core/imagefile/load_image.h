// Reading a picture file into a bitmap: the one operation behind the photo, the mask and the
// preview of the open dialog.
#pragma once

#include <string>

#include "bitmap/bitmap.h"
#include "imagefile/codec.h"
#include "imagefile/metadata.h"

namespace vorlino {

// Reads the picture named by fileName into target. When fileName is empty, the picture open dialog
// is shown first (initial folder `folder` when not empty) and the chosen name is written back.
// Result: 1 read; 0 dialog cancelled; -1 failed, after the message "Impossible d'ouvrir l'image
// dans le fichier "<name>"" unless failure reports are off. The decoder is chosen by the extension
// alone; target is changed only on success, and its Transparent flag is then off. A picture whose
// file carries an EXIF Orientation comes out upright. When metadata is given, it receives the
// file's metadata on success (see readPhotoMetadata).
int LoadImageFile(std::string& fileName, Bitmap& target, const std::string& folder,
                  PhotoMetadata* metadata = nullptr) noexcept;

// Shows the picture open dialog (initial folder `folder` when not empty): true with the chosen
// name in fileName, false when cancelled (fileName unchanged). The dialog's preview choice is kept.
bool chooseImageFile(std::string& fileName, const std::string& folder);

// The whole file in memory; false when it cannot be opened or read, or is not a regular file.
// A PixelBuffer rather than a vector: no zero fill, and huge pages for a large file.
bool readWholeFile(const std::string& name, PixelBuffer& bytes, std::size_t& size);

// Reads and decodes a file by its extension into out (only on success): what LoadImageFile does
// after the dialog, without any message. Icons and metafiles come out drawn onto white, 24 bits.
// The picture is turned upright by the file's EXIF Orientation (see orientationAppliesTo).
CodecResult decodeImageFile(const std::string& fileName, Bitmap& out,
                            const DecodeLimits& limits = {}) noexcept;
// The same, handing back the file's metadata too (replaced only on success).
CodecResult decodeImageFile(const std::string& fileName, Bitmap& out, PhotoMetadata& metadata,
                            const DecodeLimits& limits = {}) noexcept;

// The same for a file already read into memory, data[0, size): fileName gives the format by
// its extension and names the file to the decoders that need it.
CodecResult decodeImageBytes(const std::string& fileName, const std::uint8_t* data,
                             std::size_t size, Bitmap& out, PhotoMetadata& metadata,
                             const DecodeLimits& limits = {}) noexcept;

// The one message of a failed read, naming the file.
std::string loadFailureMessage(const std::string& fileName);

// The extension after the last dot of the file name (not of a folder), lower case; empty if none.
std::string fileExtension(const std::string& fileName);

// Whether LoadImageFile shows its failure message (true at start; the preview turns it off).
bool reportLoadFailures();
void setReportLoadFailures(bool on);

// Whether the open dialog shows its preview (false at start; stored in the preferences).
bool previewFlag();
void setPreviewFlag(bool on);

}  // namespace vorlino
