#include <cstring>
#include <iostream>
#include <memory>

#include "cli_app.h"

#ifdef VORLINO_CLI_METAFILES
#include <QGuiApplication>

#include "imagefile/decoders.h"
#include "imagefile/metafile_decoders.h"

namespace {

// Metafiles are drawn with Qt, whose text needs an application object. It costs start-up time,
// so it is made only when a metafile or a folder (which may hold some) is named.
bool mayReadMetafiles(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::size_t n = std::strlen(argv[i]);
    if (n > 4 &&
        (strcasecmp(argv[i] + n - 4, ".wmf") == 0 || strcasecmp(argv[i] + n - 4, ".emf") == 0))
      return true;
    if (n > 0 && argv[i][0] != '-' && std::strchr(argv[i], '.') == nullptr) return true;
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
  return vorlino::cli::run(argc, argv, std::cout, std::cerr);
}
