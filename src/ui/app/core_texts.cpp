#include "app/core_texts.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <vector>

namespace vorlino {

namespace {

// Only the texts with values in them need to be here for the matching; the others are listed so
// that lupdate finds them (the whole-line lookup needs no table).
const char* const kTexts[] = {
    // Message box captions.
    QT_TRANSLATE_NOOP("CoreTexts", "Erreur"),
    QT_TRANSLATE_NOOP("CoreTexts", "Avertissement"),
    QT_TRANSLATE_NOOP("CoreTexts", "Confirmation"),
    QT_TRANSLATE_NOOP("CoreTexts", "Information"),
    // Reading and writing pictures.
    QT_TRANSLATE_NOOP("CoreTexts", "Impossible d'ouvrir l'image dans le fichier \"%1\""),
    QT_TRANSLATE_NOOP("CoreTexts", "Impossible d'enregistrer l'image dans le fichier \"%1\""),
    QT_TRANSLATE_NOOP("CoreTexts", "car le format n'est pas reconnu !"),
    QT_TRANSLATE_NOOP("CoreTexts", "\"%1\" existe déjà"),
    // The cuts of "Ajuster sans déformer".
    QT_TRANSLATE_NOOP("CoreTexts",
                      "Impossible de lire le fichier \"%1\". Les découpes par défaut sont "
                      "utilisées."),
    QT_TRANSLATE_NOOP("CoreTexts",
                      "Le fichier \"%1\" doit contenir quatre nombres entiers : gauche, haut, "
                      "droite et bas. Les découpes par défaut sont utilisées."),
    QT_TRANSLATE_NOOP("CoreTexts",
                      "Les découpes du fichier \"%1\" ne conviennent pas à ce masque de %2 x %3 "
                      "pixels : il faut 0 < gauche < droite < %2 et 0 < haut < bas < %3. Les "
                      "découpes par défaut sont utilisées."),
    // Errors reported from a failed command.
    QT_TRANSLATE_NOOP("CoreTexts", "Mémoire insuffisante pour cette opération."),
    QT_TRANSLATE_NOOP("CoreTexts", "Erreur inconnue."),
    // The names of undo entries, shown after "Annuler" and "Refaire".
    QT_TRANSLATE_NOOP("CoreTexts", "Masque"),
    QT_TRANSLATE_NOOP("CoreTexts", "Taille de l'image"),
    // Picture types, in the open and save dialogs.
    QT_TRANSLATE_NOOP("CoreTexts", "Toutes les images"),
    QT_TRANSLATE_NOOP("CoreTexts", "Bitmaps Windows"),
    QT_TRANSLATE_NOOP("CoreTexts", "Icones Windows"),
    QT_TRANSLATE_NOOP("CoreTexts", "Metafiles Windows"),
    QT_TRANSLATE_NOOP("CoreTexts", "Images JPG"),
    QT_TRANSLATE_NOOP("CoreTexts", "Images Truevision"),
    QT_TRANSLATE_NOOP("CoreTexts", "Images Tagged image file format"),
    QT_TRANSLATE_NOOP("CoreTexts", "Images Postscript Encapsulées"),
    QT_TRANSLATE_NOOP("CoreTexts", "Images ZSoft Paintbrush"),
    QT_TRANSLATE_NOOP("CoreTexts", "Images Alias/Wavefront"),
    QT_TRANSLATE_NOOP("CoreTexts", "Images SGI"),
    QT_TRANSLATE_NOOP("CoreTexts", "Images Photoshop"),
    QT_TRANSLATE_NOOP("CoreTexts", "Images Portable map"),
    QT_TRANSLATE_NOOP("CoreTexts", "Images Autodesk"),
    QT_TRANSLATE_NOOP("CoreTexts", "Images Kodak Photo-CD"),
    QT_TRANSLATE_NOOP("CoreTexts", "Images Dr. Halo"),
    QT_TRANSLATE_NOOP("CoreTexts", "Images Paintshop Pro"),
    QT_TRANSLATE_NOOP("CoreTexts", "Images Portable network graphic"),
    QT_TRANSLATE_NOOP("CoreTexts", "Images GIF"),
    QT_TRANSLATE_NOOP("CoreTexts", "Images HEIF"),
    QT_TRANSLATE_NOOP("CoreTexts", "Images AVIF"),
    QT_TRANSLATE_NOOP("CoreTexts", "Images WebP"),
    QT_TRANSLATE_NOOP("CoreTexts", "Images JPEG XL"),
    QT_TRANSLATE_NOOP("CoreTexts", "Bitmap Windows"),
    QT_TRANSLATE_NOOP("CoreTexts", "Bitmap Windows RLE"),
    QT_TRANSLATE_NOOP("CoreTexts", "Image GIF"),
    QT_TRANSLATE_NOOP("CoreTexts", "Image JPEG"),
    QT_TRANSLATE_NOOP("CoreTexts", "Image PNG"),
    QT_TRANSLATE_NOOP("CoreTexts", "Image TIFF"),
    QT_TRANSLATE_NOOP("CoreTexts", "Image Targa"),
    QT_TRANSLATE_NOOP("CoreTexts", "Image WebP"),
};

struct Pattern {
  QRegularExpression match;
  std::vector<int> numbers;  // the placeholder of each capture, in order
  const char* source;
};

// A listed text with placeholders as a whole-line expression: the literal parts escaped, the
// first %N captured, a repeated %N required to be the same value.
std::vector<Pattern> MakePatterns() {
  static const QRegularExpression placeholder(QStringLiteral("%(\\d)"));
  std::vector<Pattern> patterns;
  for (const char* source : kTexts) {
    const QString text = QString::fromUtf8(source);
    if (!text.contains(placeholder)) continue;
    Pattern p;
    p.source = source;
    QString expression = QStringLiteral("^");
    qsizetype at = 0;
    for (auto it = placeholder.globalMatch(text); it.hasNext();) {
      const QRegularExpressionMatch m = it.next();
      expression += QRegularExpression::escape(text.mid(at, m.capturedStart() - at));
      const int number = m.captured(1).toInt();
      const QString name = QStringLiteral("p%1").arg(number);
      if (std::find(p.numbers.begin(), p.numbers.end(), number) == p.numbers.end()) {
        p.numbers.push_back(number);
        expression += QStringLiteral("(?<%1>.*)").arg(name);
      } else {
        expression += QStringLiteral("\\k<%1>").arg(name);
      }
      at = m.capturedEnd();
    }
    expression += QRegularExpression::escape(text.mid(at)) + QLatin1Char('$');
    p.match.setPattern(expression);
    patterns.push_back(std::move(p));
  }
  return patterns;
}

QString TranslatedLine(const QString& line) {
  const QByteArray utf8 = line.toUtf8();
  const QString whole = QCoreApplication::translate(kCoreTextsContext, utf8.constData());
  if (whole != line) return whole;
  static const std::vector<Pattern> patterns = MakePatterns();
  for (const Pattern& p : patterns) {
    const QRegularExpressionMatch m = p.match.match(line);
    if (!m.hasMatch()) continue;
    const QString translated = QCoreApplication::translate(kCoreTextsContext, p.source);
    if (translated == QString::fromUtf8(p.source)) return line;
    // One pass, so that a value holding "%2" is not taken for a placeholder.
    QString result;
    for (qsizetype i = 0; i < translated.size(); ++i) {
      const int number = i + 1 < translated.size() ? translated.at(i + 1).digitValue() : -1;
      if (translated.at(i) == QLatin1Char('%') &&
          std::find(p.numbers.begin(), p.numbers.end(), number) != p.numbers.end()) {
        result += m.captured(QStringLiteral("p%1").arg(number));
        ++i;
      } else {
        result += translated.at(i);
      }
    }
    return result;
  }
  return line;
}

}  // namespace

QString TranslatedCoreText(const QString& french) {
  if (french.isEmpty()) return french;
  // Lines are translated one by one, their breaks ("\r" or "\n") kept.
  static const QRegularExpression breaks(QStringLiteral("[\\r\\n]"));
  QString result;
  qsizetype at = 0;
  for (auto it = breaks.globalMatch(french); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    result += TranslatedLine(french.mid(at, m.capturedStart() - at)) + m.captured();
    at = m.capturedEnd();
  }
  return result + TranslatedLine(french.mid(at));
}

QString TranslatedCoreText(const std::string& french) {
  return TranslatedCoreText(QString::fromStdString(french));
}

QString TranslatedTypeName(const QString& description) {
  const qsizetype open = description.indexOf(QStringLiteral(" ("));
  if (open < 0) return TranslatedCoreText(description);
  return TranslatedCoreText(description.left(open)) + description.mid(open);
}

}  // namespace vorlino
