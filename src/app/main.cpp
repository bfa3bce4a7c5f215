// The program: the application object, the prompts, the main window and the message loop.
#include <QStringList>

#include "app/app_setup.h"
#include "app/error_report.h"
#include "app/main_form.h"
#include "app/qt_prompts.h"
#include "bitmap/huge_page_heap.h"
#include "imagefile/decoders.h"
#include "prompts/prompts.h"
#include "render/metafile_decoders.h"

int main(int argc, char** argv) {
  vorlino::restartWithHugePageHeap(argv);
  vorlino::TVorlinoApplication app(argc, argv);
  vorlino::SetUpApplication(vorlino::SystemUiLanguage());
  vorlino::QtPrompts qtPrompts;
  vorlino::setPrompts(&qtPrompts);
  vorlino::setMetafileDecoder(&vorlino::readWindowsMetafile);

  int result = 0;
  {
    vorlino::TMainForm mainForm;
    // The one optional argument: an image opened at the first paint.
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1) mainForm.SetCommandLineFile(arguments.at(1));
    mainForm.show();
    result = QApplication::exec();
  }
  vorlino::setPrompts(nullptr);
  return result;
}
