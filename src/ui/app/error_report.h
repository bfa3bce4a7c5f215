// The general error report: an error that a command does not handle itself is shown in a box
// titled "Vorlino" with the error icon and "OK", and the program goes on.
#pragma once

#include <QApplication>
#include <exception>
#include <string>
#include <utility>

namespace vorlino {

// The message as shown: a full stop is added when it does not already end with one.
std::string ErrorReportText(const std::string& message);
// The message of an exception in the user's language where the standard one is technical.
std::string ErrorMessageOf(const std::exception& error);

// Shows the box for the exception being handled (call inside a catch block).
void ReportCurrentException() noexcept;

// Runs a command; any exception leaving it goes to the general error report.
template <class Command>
void RunCommand(Command&& command) noexcept {
  try {
    std::forward<Command>(command)();
  } catch (...) {
    ReportCurrentException();
  }
}

// The application object: also reports exceptions that leave any other event handler.
class TVorlinoApplication : public QApplication {
 public:
  TVorlinoApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace vorlino
