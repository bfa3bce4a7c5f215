// The French of Qt's own dialogs and menus (the colour, page set-up and file dialogs, the
// questions they ask, the context menus of text fields): Qt's French translations, with a small
// table of our own for the few texts they lack.
#pragma once

#include <QTranslator>

namespace vorlino {

// The texts that Qt's French translations lack (the file types shown in the file dialog).
class TFrenchQtTexts : public QTranslator {
 public:
  using QTranslator::QTranslator;
  QString translate(const char* context, const char* sourceText, const char* disambiguation,
                    int n) const override;
  bool isEmpty() const override { return false; }
};

// Installs Qt's French translations and the table above on the application object, which owns
// them. Returns false when Qt's translations are not installed on this machine (only the table
// then applies).
bool InstallFrenchTranslations();

}  // namespace vorlino
