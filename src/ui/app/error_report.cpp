#include "app/error_report.h"

#include <new>
#include <stdexcept>

#include "prompts/prompts.h"

namespace vorlino {

std::string ErrorReportText(const std::string& message) {
  if (!message.empty() && message.back() == '.') return message;
  return message + '.';
}

std::string ErrorMessageOf(const std::exception& error) {
  if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) {
    return "Mémoire insuffisante pour cette opération";
  }
  const std::string what = error.what();
  return what.empty() ? std::string("Erreur inconnue") : what;
}

void ReportCurrentException() noexcept {
  std::string message;
  try {
    throw;
  } catch (const std::exception& error) {
    message = ErrorMessageOf(error);
  } catch (...) {
    message = "Erreur inconnue";
  }
  try {
    prompts().message(MessageKind::mkError, "Vorlino", ErrorReportText(message),
                      MessageButtons::mbOk);
  } catch (...) {
    // The report itself failed (no memory left for the box): nothing more can be shown.
  }
}

TVorlinoApplication::TVorlinoApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TVorlinoApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ReportCurrentException();
    return false;
  }
}

}  // namespace vorlino
