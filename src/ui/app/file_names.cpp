#include "app/file_names.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace vorlino {
namespace {

bool (*gWritableCheck)(const QString&) = nullptr;

QString WithSeparator(QString folder) {
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}

}  // namespace

QString ExactFileName(const QString& path) {
  const QFileInfo info(path);
  if (info.exists()) return path;
  const QString wanted = info.fileName();
  if (wanted.isEmpty()) return path;
  // Sorted, so that a folder holding several spellings gives the same answer every time.
  const QStringList names =
      QDir(info.path())
          .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                     QDir::Name);
  for (const QString& found : names) {
    if (found.compare(wanted, Qt::CaseInsensitive) == 0) return FolderPart(path) + found;
  }
  return path;
}

QString FolderPart(const QString& fileName) {
  const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
  return slash < 0 ? QString() : fileName.left(slash + 1);
}

QString NameWithoutFolderAndExtension(const QString& fileName) {
  QString name = fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1);
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  if (dot >= 0) name.truncate(dot);
  return name;
}

QString PathInFolder(const QString& fileName, const QString& folder) {
  if (fileName.isEmpty()) return {};
  const QString name = fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1);
  if (folder.isEmpty()) return name;
  return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

QString ShortenText(const QString& text, int n) {
  // Characters, not UTF-16 units: a letter outside the basic plane is never cut in half.
  qsizetype cut = 0;
  for (int count = 0; cut < text.size(); ++count) {
    if (count == n) return text.left(cut) + QStringLiteral("...");
    cut += text.at(cut).isHighSurrogate() && cut + 1 < text.size() ? 2 : 1;
  }
  return text;
}

QString ProgramFolder() {
  QString folder = QCoreApplication::applicationDirPath();
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}

bool ProgramFolderWritable(const QString& programFolder) {
  if (gWritableCheck) return gWritableCheck(programFolder);
  return QFileInfo(programFolder).isDir() &&
         ::access(QFile::encodeName(programFolder).constData(), W_OK) == 0;
}

void SetProgramFolderWritableCheck(bool (*check)(const QString& programFolder)) {
  gWritableCheck = check;
}

QString StartOpenFolder(const QString& programFolder) {
  if (ProgramFolderWritable(programFolder)) return WithSeparator(programFolder);
  const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (!pictures.isEmpty() && QFileInfo(pictures).isDir()) return WithSeparator(pictures);
  return WithSeparator(QDir::homePath());
}

}  // namespace vorlino
