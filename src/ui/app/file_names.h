// File and folder names as the main window uses them. Folder parts keep their trailing separator.
#pragma once

#include <QString>

namespace vorlino {

// The path with its file name spelled as on disk: when no file has exactly that name, the
// path's folder is searched for a name equal to it regardless of letter case. Unchanged when
// nothing is found.
QString ExactFileName(const QString& path);

// "/photos/" for "/photos/a.jpg"; empty for a bare name.
QString FolderPart(const QString& fileName);
// "cadre" for "/masques/cadre.bmp" (only the last extension goes).
QString NameWithoutFolderAndExtension(const QString& fileName);

// The folder of the executable, with its trailing separator.
QString ProgramFolder();

// Where the mask dialog starts: programFolder + "Masques" when that folder exists, else the
// installed data folder (share/vorlino/Masques beside the program's bin folder) when it exists,
// else the program's folder.
QString InitialMaskFolder(const QString& programFolder);

}  // namespace vorlino
