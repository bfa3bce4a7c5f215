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

// The file name of fileName without its folder, placed in folder (a separator is added when the
// folder does not end with one; an empty folder gives the bare name). Empty for an empty name.
QString PathInFolder(const QString& fileName, const QString& folder);

// The text itself when it has at most n characters, else its first n characters and "...".
QString ShortenText(const QString& text, int n);

// The folder of the executable, with its trailing separator.
QString ProgramFolder();

// Whether the program's folder can be written to: a portable copy, which keeps its folders beside
// it. An installed copy (under /usr or /usr/local) cannot, and works in the user's own folders.
bool ProgramFolderWritable(const QString& programFolder);
// Replaces the check behind ProgramFolderWritable (a test exercises both kinds of copy even when
// it runs as a user who may write anywhere); nullptr puts back the check of the file system.
void SetProgramFolderWritableCheck(bool (*check)(const QString& programFolder));

// The folder the open dialog starts in while none is remembered: the program's folder for a
// portable copy; for an installed one the user's Pictures folder, else the home folder. With its
// trailing separator.
QString StartOpenFolder(const QString& programFolder);

}  // namespace vorlino
