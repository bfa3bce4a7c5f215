#include "app/app_setup.h"

#include <QCoreApplication>

#include "app/french_texts.h"

namespace vorlino {

bool SetUpApplication() {
  QCoreApplication::setApplicationName(QStringLiteral("Vorlino"));
  return InstallFrenchTranslations();
}

}  // namespace vorlino
