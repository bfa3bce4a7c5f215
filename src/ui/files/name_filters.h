// The file-type filter texts of the file layer ("description|patterns|description|patterns...",
// patterns separated by "; ") as Qt name filters.
#pragma once

#include <QStringList>
#include <string>

namespace vorlino {

// One Qt name filter per description/pattern pair, in order. Each reads
// "<description> (<patterns separated by blanks>)": Qt takes the patterns from the last bracket,
// and with QFileDialog::HideNameFilterDetails the list shows the description exactly as given
// ("Bitmaps Windows (*.bmp; *.dib; *.rle)", "Toutes les images"). A trailing description without
// patterns is dropped.
QStringList QtNameFilters(const std::string& filter);

}  // namespace vorlino
