// vorlino_measure PHOTO MASK [APPLIES]: times the heavy commands on the real window, each from the
// click to the end of the window's repaint, and reports the resident memory between them:
// - opening PHOTO through "Ouvrir..." (first picture on screen, then the full picture);
// - repainting the view at the zoom the open chose (median of 15);
// - applying MASK fitted and softened ("Ajuster le masque", "Adoucir", "Couleurs RVB"), APPLIES
//   times (default 8), then the memory once the history's background work is done;
// - undoing and redoing every step of the history (medians).
// Prints milliseconds and MiB.
//
// vorlino_measure --make-photo SOURCE OUT WIDTH HEIGHT: writes the test photo, a JPEG (quality 90)
// of SOURCE enlarged to WIDTH x HEIGHT with a fine grain, so that it costs to decode about what a
// camera's photo of that size does.
#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QToolButton>
#include <algorithm>
#include <deque>
#include <vector>

#include "app/error_report.h"
#include "app/main_form.h"
#include "bitmap/huge_page_heap.h"
#include "compose/resample.h"
#include "imagefile/file_output.h"
#include "imagefile/jpeg_writer.h"
#include "imagefile/load_image.h"
#include "prompts/prompts.h"
#include "queued_prompts.h"
#include "view/my_graphic.h"

namespace {

double RepaintedAfter(vorlino::TMainForm& form, const QElapsedTimer& clock) {
  QCoreApplication::processEvents();
  form.repaint();
  return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The resident memory of this process, in MiB.
double ResidentMiB() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').at(0).toDouble() / 1024;
  }
  return 0;
}

double BitmapMiB(const vorlino::Bitmap& bitmap) {
  return static_cast<double>(bitmap.byteCount()) / (1024.0 * 1024.0);
}

// A large JPEG opens in two steps, showing a blank until its reduced picture comes: the first
// picture is that one, on screen.
double FirstPictureAfter(vorlino::TMainForm& form, const QElapsedTimer& clock) {
  auto early = [&form] {
    const vorlino::Bitmap* standIn = form.ImageView()->StandIn();
    return standIn != nullptr && standIn->width() > 1;
  };
  // The window's thread sleeps until an event comes, as in the program's own event loop: a
  // polling loop here would take processor time from the decoding threads.
  while (form.OpenPending() && !early())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  return RepaintedAfter(form, clock);
}

// Lets the window's background work finish: the full picture of an open, the history's packing.
void Settle(vorlino::TMainForm& form) {
  for (int i = 0; i < 4000 && form.BackgroundWorkPending(); ++i) {
    QCoreApplication::processEvents();
    QThread::msleep(5);
  }
  QCoreApplication::processEvents();
}

int MakePhoto(const QStringList& args) {
  if (args.size() != 6) {
    QTextStream(stderr) << "usage: vorlino_measure --make-photo SOURCE OUT WIDTH HEIGHT"
                        << Qt::endl;
    return 2;
  }
  vorlino::Bitmap source;
  if (!vorlino::decodeImageFile(args.at(2).toStdString(), source).ok()) return 1;
  source.convertTo24();
  vorlino::Bitmap photo;
  vorlino::ResampleBitmap(args.at(4).toUInt(), args.at(5).toUInt(), vorlino::rkLanczos3, 0, source,
                          photo);
  // A grain of +-6 levels from a fixed sequence: detail the encoder has to keep, as in a photo.
  std::uint32_t state = 2463534242u;
  for (int y = 0; y < photo.height(); ++y) {
    std::uint8_t* row = photo.row(y);
    for (int i = 0; i < photo.width() * 3; ++i) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      const int v = row[i] + static_cast<int>(state % 13) - 6;
      row[i] = static_cast<std::uint8_t>(std::clamp(v, 0, 255));
    }
  }
  vorlino::ByteWriter out;
  vorlino::JpegOptions options;
  options.quality = 90;
  if (!vorlino::WriteJpeg(photo, out, options).ok()) return 1;
  return vorlino::writeFileReplacing(args.at(3).toStdString(), out.bytes()).ok() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  // Measured as the program runs.
  vorlino::restartWithHugePageHeap(argv);
  vorlino::TVorlinoApplication app(argc, argv);
  const QStringList args = QApplication::arguments();
  if (args.size() > 1 && args.at(1) == QStringLiteral("--make-photo")) return MakePhoto(args);
  if (args.size() < 3) {
    QTextStream(stderr) << "usage: vorlino_measure PHOTO MASK [APPLIES]" << Qt::endl;
    return 2;
  }
  const int applies = args.size() > 3 ? std::max(1, args.at(3).toInt()) : 8;
  QueuedPrompts script;
  vorlino::setPrompts(&script);
  // A folder of its own: the timings must not depend on the preferences of earlier runs.
  QTemporaryDir programFolder;
  vorlino::TMainForm form(nullptr, programFolder.path());
  form.resize(1100, 800);
  form.show();
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
  QTextStream out(stdout);
  out << "resident at start: " << ResidentMiB() << " MiB" << Qt::endl;

  script.names.push_back(args.at(1).toStdString());
  QElapsedTimer clock;
  clock.start();
  form.findChild<QAction*>(QStringLiteral("MenuFichierOuvrir"))->trigger();
  const double returned = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  const bool twoSteps = form.OpenPending();
  const double first = FirstPictureAfter(form, clock);
  Settle(form);
  const double full = RepaintedAfter(form, clock);
  const vorlino::Bitmap& photo = form.WorkingBitmap();
  out << "open " << photo.width() << "x" << photo.height() << (twoSteps ? " (two steps)" : "")
      << ": window free again " << returned << " ms, first picture " << first
      << " ms, full picture " << full << " ms" << Qt::endl;
  out << "resident after open: " << ResidentMiB() << " MiB (bitmap " << BitmapMiB(photo) << " MiB)"
      << Qt::endl;

  QWidget* viewport = form.ImageView()->ScrollBox()->viewport();
  std::vector<double> paints;
  for (int i = 0; i < 15; ++i) {
    clock.restart();
    viewport->repaint();
    paints.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
  }
  out << "repaint at zoom " << form.ImageView()->GetZoom() * 100 << "%: median " << Median(paints)
      << " ms";
  form.ImageView()->SetZoom(0.5);
  paints.clear();
  for (int i = 0; i < 15; ++i) {
    form.ImageView()->ScrollTo(37 * i, 23 * i);  // panning
    clock.restart();
    viewport->repaint();
    paints.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
  }
  out << "; panning at 50%: median " << Median(paints) << " ms" << Qt::endl;
  form.ResetView();

  script.names.push_back(args.at(2).toStdString());
  form.findChild<QToolButton*>(QStringLiteral("BtnParcourir"))->click();
  form.findChild<QRadioButton*>(QStringLiteral("RdbAjuster"))->setChecked(true);
  form.findChild<QCheckBox*>(QStringLiteral("ChbFlou"))->setChecked(true);
  std::vector<double> applyTimes;
  for (int i = 0; i < applies; ++i) {
    clock.restart();
    form.findChild<QToolButton*>(QStringLiteral("BtnAction"))->click();
    applyTimes.push_back(RepaintedAfter(form, clock));
  }
  out << "apply fitted softened mask: first " << applyTimes.front() << " ms, median "
      << Median(applyTimes) << " ms" << Qt::endl;
  out << "resident after " << applies << " applies: " << ResidentMiB() << " MiB";
  Settle(form);
  out << ", once settled: " << ResidentMiB() << " MiB (history "
      << static_cast<double>(form.History().StoredBytes()) / (1024.0 * 1024.0) << " MiB)"
      << Qt::endl;

  auto* undo = form.findChild<QToolButton*>(QStringLiteral("BtnUndo"));
  auto* redo = form.findChild<QToolButton*>(QStringLiteral("BtnRedo"));
  std::vector<double> undos, redos;
  while (undo->isEnabled()) {
    clock.restart();
    undo->click();
    undos.push_back(RepaintedAfter(form, clock));
  }
  while (redo->isEnabled()) {
    clock.restart();
    redo->click();
    redos.push_back(RepaintedAfter(form, clock));
  }
  out << "undo x" << undos.size() << ": median " << Median(undos) << " ms, max "
      << (undos.empty() ? 0 : *std::max_element(undos.begin(), undos.end())) << " ms; redo x"
      << redos.size() << ": median " << Median(redos) << " ms, max "
      << (redos.empty() ? 0 : *std::max_element(redos.begin(), redos.end())) << " ms" << Qt::endl;
  out << "resident at the end: " << ResidentMiB() << " MiB" << Qt::endl;
  vorlino::setPrompts(nullptr);
  return 0;
}
