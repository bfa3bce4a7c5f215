// The one function the metafile module exports (see render/metafile_module.h): the renderer and the
// application object it needs for text.
#include <QGuiApplication>
#include <iostream>

#include "render/metafile_decoders.h"
#include "render/metafile_module.h"

namespace vorlino {
namespace {

void startApplication() noexcept {
  if (QGuiApplication::instance()) return;
  try {
    // No window is ever shown: the offscreen platform needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own notices (a missing runtime folder and the like) are not the tool's output.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
      if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << text.toStdString() << '\n';
    });
    static int argc = 1;
    static char name[] = "vorlino-cli";
    static char* argv[] = {name, nullptr};
    // Never destroyed: that would load the whole font configuration only to free it (tens of
    // milliseconds when no metafile drew text), and the process ends soon after anyway.
    new QGuiApplication(argc, argv);
  } catch (...) {
    // Without the application, metafiles are drawn without their text.
  }
}

constexpr MetafileModule kModule{kMetafileModuleVersion, &startApplication, &renderWindowsMetafile};

}  // namespace
}  // namespace vorlino

extern "C" __attribute__((visibility("default"))) const vorlino::MetafileModule*
vorlino_metafile_module() {
  return &vorlino::kModule;
}
