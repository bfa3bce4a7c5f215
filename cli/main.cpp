#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <system_error>

#include "cli_app.h"

#ifdef VORLINO_CLI_METAFILES
#include <QGuiApplication>

#include "imagefile/decoders.h"
#include "render/metafile_decoders.h"

namespace {

// Metafiles are drawn with Qt, whose text needs an application object, made on the main thread
// before any work starts. It costs a good part of the start-up time (platform plugin, then the
// font database), so it is made only when a metafile may be read: one is named, a folder is
// named (it may hold some), or a settings file is (its mask may be one).
bool mayReadMetafiles(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const std::size_t n = std::strlen(arg);
    if (n > 4 && (strcasecmp(arg + n - 4, ".wmf") == 0 || strcasecmp(arg + n - 4, ".emf") == 0))
      return true;
    if (std::strcmp(arg, "--settings") == 0) return true;
    std::error_code error;
    if (arg[0] != '-' && std::filesystem::is_directory(arg, error)) return true;
  }
  return false;
}

}  // namespace
#endif

int main(int argc, char** argv) {
#ifdef VORLINO_CLI_METAFILES
  std::unique_ptr<QGuiApplication> app;
  if (mayReadMetafiles(argc, argv)) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own notices (a missing runtime folder and the like) are not the tool's output.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
      if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << text.toStdString() << '\n';
    });
    static int qtArgc = 1;
    app = std::make_unique<QGuiApplication>(qtArgc, argv);
  }
  vorlino::setMetafileDecoder(&vorlino::readWindowsMetafile);
#endif
  const int status = vorlino::cli::run(argc, argv, std::cout, std::cerr);
#ifdef VORLINO_CLI_METAFILES
  // Destroying the application would load the whole font configuration only to free it (tens of
  // milliseconds when no metafile drew text); the process ends here anyway.
  (void)app.release();
#endif
  return status;
}
