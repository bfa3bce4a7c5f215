#include "app/french_texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <cstring>

namespace vorlino {

namespace {

struct Text {
  const char* context;
  const char* source;
  const char* french;
};

// Only what Qt's own French translation does not have.
constexpr Text kTexts[] = {
    {"QAbstractFileIconProvider", "Folder", "Dossier"},
    {"QAbstractFileIconProvider", "File Folder", "Dossier"},
    {"QAbstractFileIconProvider", "Drive", "Disque"},
    {"QAbstractFileIconProvider", "File", "Fichier"},
    {"QAbstractFileIconProvider", "%1 File", "Fichier %1"},
    {"QAbstractFileIconProvider", "Unknown", "Inconnu"},
};

}  // namespace

QString TFrenchQtTexts::translate(const char* context, const char* sourceText, const char*,
                                  int) const {
  if (context == nullptr || sourceText == nullptr) return {};
  for (const Text& text : kTexts) {
    if (std::strcmp(text.context, context) == 0 && std::strcmp(text.source, sourceText) == 0) {
      return QString::fromUtf8(text.french);
    }
  }
  return {};
}

bool InstallFrenchTranslations() {
  QCoreApplication* app = QCoreApplication::instance();
  // The last translator installed is asked first: Qt's translations, then the table.
  QCoreApplication::installTranslator(new TFrenchQtTexts(app));
  auto* qt = new QTranslator(app);
  if (!qt->load(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete qt;
    return false;
  }
  QCoreApplication::installTranslator(qt);
  return true;
}

}  // namespace vorlino
