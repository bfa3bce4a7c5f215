// French for the texts that Qt's own widgets show inside the program's dialogs (the file dialog's
// buttons, columns and menus, the edit fields' context menu), since Qt's translations are not part
// of the program's dependencies.
#pragma once

#include <QTranslator>

namespace vorlino {

class TFrenchQtTexts : public QTranslator {
 public:
  using QTranslator::QTranslator;
  QString translate(const char* context, const char* sourceText, const char* disambiguation,
                    int n) const override;
  bool isEmpty() const override { return false; }
};

}  // namespace vorlino
