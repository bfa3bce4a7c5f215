// What printing needs from the main window. The main window implements it; the print layout
// dialog and the print command see the window through it only.
#pragma once

#include <QString>

#include "bitmap/bitmap.h"

namespace vorlino {

class TPrintHost {
 public:
  virtual ~TPrintHost() = default;

  // The photo being edited. Read when the layout dialog is shown and drawn again by the print
  // job; printing never changes it. (A non-const override is fine.)
  virtual const vorlino::Bitmap& WorkingBitmap() = 0;
  // The document's file name with its folder; empty for an image without a file. Its last part
  // is the print job's title and, for a PDF printer, the proposed PDF name.
  virtual QString CurrentFileName() const = 0;
  // The busy state (status text, hourglass), entered for the time of the print job and left
  // however it ends.
  virtual void BeginBusy() = 0;
  virtual void EndBusy() = 0;
};

}  // namespace vorlino
