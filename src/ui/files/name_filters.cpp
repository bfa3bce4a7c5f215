#include "files/name_filters.h"

#include "app/core_texts.h"

namespace vorlino {

QStringList QtNameFilters(const std::string& filter) {
  const QStringList fields = QString::fromStdString(filter).split(QLatin1Char('|'));
  QStringList result;
  for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
    QStringList patterns;
    for (const QString& pattern : fields[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      const QString trimmed = pattern.trimmed();
      if (!trimmed.isEmpty()) patterns << trimmed;
    }
    if (patterns.isEmpty()) continue;
    result << TranslatedTypeName(fields[i].trimmed()) + QStringLiteral(" (") +
                  patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return result;
}

}  // namespace vorlino
