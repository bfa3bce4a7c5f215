// The platform's system colours for the core's ColorToRGB table, taken from the Qt palette. The
// controls keep symbolic system colours (systemColor(index)) and resolve them only to draw or
// compare, so the table must be filled before the first paint.
#pragma once

#include <QPalette>

namespace vorlino {

// Fills every entry of the system colour table from palette.
void loadSystemColors(const QPalette& palette);

// Fills the table from the application's palette the first time it is called; later calls do
// nothing.
void ensureSystemColorsLoaded();

}  // namespace vorlino
