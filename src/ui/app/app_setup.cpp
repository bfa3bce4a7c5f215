#include "app/app_setup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/french_texts.h"

namespace vorlino {

namespace {

UiLanguage gLanguage = UiLanguage::ulFrench;

// The program's English, built in as a resource, then Qt's own English plural forms where the
// system has them.
bool InstallEnglishTranslations() {
  QCoreApplication* app = QCoreApplication::instance();
  auto* qt = new QTranslator(app);
  if (qt->load(QStringLiteral("qtbase_en"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(qt);
  else
    delete qt;
  auto* own = new QTranslator(app);
  if (!own->load(QStringLiteral(":/i18n/vorlino_en.qm"))) {
    delete own;
    return false;
  }
  QCoreApplication::installTranslator(own);
  return true;
}

}  // namespace

UiLanguage SystemUiLanguage() {
  const QStringList languages = QLocale::system().uiLanguages();
  if (languages.isEmpty()) return UiLanguage::ulFrench;
  return QLocale(languages.front()).language() == QLocale::English ? UiLanguage::ulEnglish
                                                                   : UiLanguage::ulFrench;
}

UiLanguage CurrentUiLanguage() {
  return gLanguage;
}

bool SetUpApplication(UiLanguage language) {
  QCoreApplication::setApplicationName(QStringLiteral("Vorlino"));
  gLanguage = language;
  if (language == UiLanguage::ulEnglish) return InstallEnglishTranslations();
  return InstallFrenchTranslations();
}

}  // namespace vorlino
