// vorlino_measure_view PHOTO [ICC]: times the image view's repaint of PHOTO at the zooms the user
// picks (fitted, 50 %, 100 %, 400 %), first as an untagged picture, then tagged with the profile
// ICC (by default icc-profiles-free's Adobe RGB): the median of 15 synchronous repaints each, and
// the first repaint after a change of the bitmap, which makes the converted copy. Prints
// milliseconds.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <algorithm>
#include <vector>

#include "bitmap/huge_page_heap.h"
#include "imagefile/load_image.h"
#include "view/my_graphic.h"

namespace {

double repaintMs(vorlino::TMyImage& view) {
  QElapsedTimer clock;
  clock.start();
  view.ScrollBox()->viewport()->repaint();
  return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

double medianRepaintMs(vorlino::TMyImage& view) {
  std::vector<double> times;
  for (int i = 0; i < 15; ++i) times.push_back(repaintMs(view));
  std::nth_element(times.begin(), times.begin() + 7, times.end());
  return times[7];
}

void timeZooms(vorlino::TMyImage& view, QTextStream& out, const char* label) {
  for (double zoom : {0.0, 0.5, 1.0, 4.0}) {
    if (zoom == 0.0)
      view.FitToClient();
    else
      view.SetZoom(zoom);
    repaintMs(view);  // the layout settles
    out << label << " zoom " << qRound(view.GetZoom() * 100) << "%: " << medianRepaintMs(view)
        << " ms" << Qt::endl;
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Measured as the program runs.
  vorlino::restartWithHugePageHeap(argv);
  QApplication app(argc, argv);
  const QStringList args = QApplication::arguments();
  if (args.size() < 2) {
    QTextStream(stderr) << "usage: vorlino_measure_view PHOTO [ICC]" << Qt::endl;
    return 2;
  }
  QFile icc(args.size() > 2
                ? args.at(2)
                : QStringLiteral("/usr/share/color/icc/compatibleWithAdobeRGB1998.icc"));
  if (!icc.open(QIODevice::ReadOnly)) return 2;
  const QByteArray profile = icc.readAll();

  vorlino::TMyImage view;
  view.resize(1100, 800);
  view.show();
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
  if (!vorlino::decodeImageFile(args.at(1).toStdString(), view.Bitmap()).ok()) return 1;
  view.Bitmap().convertTo24();
  view.BitmapChanged();

  QTextStream out(stdout);
  out << view.Bitmap().width() << "x" << view.Bitmap().height() << Qt::endl;
  timeZooms(view, out, "untagged");
  view.SetColorProfile({profile.begin(), profile.end()});
  view.FitToClient();
  std::vector<double> firsts;
  for (int i = 0; i < 5; ++i) {
    view.BitmapChanged();
    firsts.push_back(repaintMs(view));
  }
  std::sort(firsts.begin(), firsts.end());
  out << "tagged, first repaint after a change (fitted): " << firsts[2] << " ms" << Qt::endl;
  timeZooms(view, out, "tagged");
  return 0;
}
