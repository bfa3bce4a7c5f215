// vorlino_measure_preview PHOTO MASK: times the live preview on the real window, from a change in
// the side panel (a digit typed into "Opacité", as key events) to the repainted view: first at the
// fitted zoom ("Auto", the reduced result, then the full-resolution one), then at 100 %. Prints
// each figure and the medians, in milliseconds.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTextStream>
#include <QToolButton>
#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "app/error_report.h"
#include "app/live_preview.h"
#include "app/main_form.h"
#include "bitmap/huge_page_heap.h"
#include "prompts/prompts.h"
#include "queued_prompts.h"
#include "view/my_graphic.h"

namespace {

void Type(QWidget* field, Qt::Key key, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(field, &press);
  QApplication::sendEvent(field, &release);
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  // Measured as the program runs.
  vorlino::restartWithHugePageHeap(argv);
  vorlino::TVorlinoApplication app(argc, argv);
  const QStringList args = QApplication::arguments();
  if (args.size() < 3) {
    QTextStream(stderr) << "usage: vorlino_measure_preview PHOTO MASK" << Qt::endl;
    return 2;
  }
  QueuedPrompts script;
  vorlino::setPrompts(&script);
  QTemporaryDir programFolder;
  vorlino::TMainForm form(nullptr, programFolder.path());
  form.resize(1100, 800);
  form.show();
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
  script.names.push_back(args.at(1).toStdString());
  form.findChild<QAction*>(QStringLiteral("MenuFichierOuvrir"))->trigger();
  script.names.push_back(args.at(2).toStdString());
  form.findChild<QToolButton*>(QStringLiteral("BtnParcourir"))->click();
  vorlino::TLivePreview* preview = form.LivePreview();
  auto* opacity = form.findChild<QLineEdit*>(QStringLiteral("EdiOpacite"));

  QTextStream out(stdout);
  out << "photo " << form.WorkingBitmap().width() << "x" << form.WorkingBitmap().height()
      << Qt::endl;
  QElapsedTimer clock;
  double reducedAt = -1;
  double fullAt = -1;
  QObject::connect(preview, &vorlino::TLivePreview::resultShown, &form, [&](bool full) {
    form.ImageView()->repaint();
    (full ? fullAt : reducedAt) = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  });
  // One change: the field goes from "100" to "5x" with x alternating, so every change is new.
  auto* soften = form.findChild<QCheckBox*>(QStringLiteral("ChbFlou"));
  bool shape = false;
  int series = 0;
  auto change = [&](int round) {
    // Whatever the last change still has to show comes first.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (!shape) {
      opacity->selectAll();
      Type(opacity, Qt::Key_5, QStringLiteral("5"));
    }
    reducedAt = fullAt = -1;
    const int digit = round % 2 == 0 ? 0 : 5;
    clock.restart();
    if (shape)
      soften->click();  // "Adoucir": a new mask bitmap
    else
      Type(opacity, static_cast<Qt::Key>(Qt::Key_0 + digit), QString::number(digit));
    while (fullAt < 0 && clock.elapsed() < 10000)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  };
  for (const char* zoom : {"Auto", "100%", "Auto"}) {
    shape = ++series == 3;
    auto* zoomList = form.findChild<QComboBox*>(QStringLiteral("CmbZoom"));
    // "Auto" is the first item (it shows the fitted percentage once chosen).
    zoomList->setCurrentIndex(
        zoom == std::string("Auto") ? 0 : zoomList->findText(QString::fromLatin1(zoom)));
    emit zoomList->activated(zoomList->currentIndex());
    std::vector<double> reduced;
    std::vector<double> full;
    for (int round = 0; round < 11; ++round) {
      change(round);
      out << zoom << (shape ? " \"Adoucir\"" : " opacity") << " change " << round << ": reduced "
          << reducedAt << " ms, full " << fullAt << " ms" << Qt::endl;
      if (round == 0) continue;  // the first change also copies the photo
      if (reducedAt >= 0) reduced.push_back(reducedAt);
      full.push_back(fullAt);
    }
    out << zoom << " median: reduced " << Median(reduced) << " ms, full " << Median(full) << " ms"
        << Qt::endl;
  }
  vorlino::setPrompts(nullptr);
  return 0;
}
