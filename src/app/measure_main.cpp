// vorlino_measure PHOTO MASK: times two commands on the real window, each from the click to the
// end of the window's repaint: opening PHOTO through "Ouvrir...", then applying MASK fitted and
// softened ("Ajuster le masque", "Adoucir", "Couleurs RVB"). Prints milliseconds.
#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QToolButton>
#include <deque>

#include "app/error_report.h"
#include "app/main_form.h"
#include "prompts/prompts.h"
#include "view/my_graphic.h"

namespace {

// Answers the open dialog with the queued names; messages go to the standard error.
class QueuedPrompts final : public vorlino::Prompts {
 public:
  std::deque<std::string> names;
  vorlino::MessageResult message(vorlino::MessageKind, const std::string& caption,
                                 const std::string& text, vorlino::MessageButtons) override {
    QTextStream(stderr) << QString::fromStdString(caption + ": " + text) << Qt::endl;
    return vorlino::MessageResult::mrNo;
  }
  vorlino::OpenImageReply openImage(const vorlino::OpenImageRequest& request) override {
    if (names.empty()) return {false, {}, request.preview};
    vorlino::OpenImageReply reply{true, names.front(), request.preview};
    names.pop_front();
    return reply;
  }
  vorlino::SaveImageReply saveImage(const vorlino::SaveImageRequest&) override { return {}; }
};

double RepaintedAfter(vorlino::TMainForm& form, const QElapsedTimer& clock) {
  QCoreApplication::processEvents();
  form.repaint();
  return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  vorlino::TVorlinoApplication app(argc, argv);
  const QStringList args = QApplication::arguments();
  if (args.size() < 3) {
    QTextStream(stderr) << "usage: vorlino_measure PHOTO MASK" << Qt::endl;
    return 2;
  }
  QueuedPrompts script;
  vorlino::setPrompts(&script);
  // A folder of its own: the timings must not depend on the preferences of earlier runs.
  QTemporaryDir programFolder;
  vorlino::TMainForm form(nullptr, programFolder.path());
  form.resize(1100, 800);
  form.show();
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();

  QTextStream out(stdout);
  script.names.push_back(args.at(1).toStdString());
  QElapsedTimer clock;
  clock.start();
  form.findChild<QAction*>(QStringLiteral("MenuFichierOuvrir"))->trigger();
  out << "open " << form.WorkingBitmap().width() << "x" << form.WorkingBitmap().height() << ": "
      << RepaintedAfter(form, clock) << " ms" << Qt::endl;

  script.names.push_back(args.at(2).toStdString());
  form.findChild<QToolButton*>(QStringLiteral("BtnParcourir"))->click();
  form.findChild<QRadioButton*>(QStringLiteral("RdbAjuster"))->setChecked(true);
  form.findChild<QCheckBox*>(QStringLiteral("ChbFlou"))->setChecked(true);
  clock.restart();
  form.findChild<QToolButton*>(QStringLiteral("BtnAction"))->click();
  out << "apply fitted softened mask: " << RepaintedAfter(form, clock) << " ms" << Qt::endl;
  vorlino::setPrompts(nullptr);
  return 0;
}
