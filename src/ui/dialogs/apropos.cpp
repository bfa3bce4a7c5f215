#include "dialogs/apropos.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <algorithm>
#include <cmath>

#include "app/app_setup.h"
#include "dialogs/modal.h"
#include "settings/app_paths.h"

namespace vorlino {

namespace {

// A panel drawn with one or two bevels: the outer one on its edge, the inner one just inside.
class TBevelPanel : public QFrame {
 public:
  enum Bevel { bvNone, bvLowered, bvRaised };
  TBevelPanel(QWidget* parent, Bevel outer, Bevel inner)
      : QFrame(parent), outer_(outer), inner_(inner) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    QRect r = rect();
    for (Bevel bevel : {outer_, inner_}) {
      if (bevel == bvNone) continue;
      const QColor light = palette().color(QPalette::Light);
      const QColor dark = palette().color(QPalette::Dark);
      const QColor topLeft = bevel == bvRaised ? light : dark;
      const QColor bottomRight = bevel == bvRaised ? dark : light;
      p.setPen(topLeft);
      p.drawLine(r.topLeft(), r.topRight());
      p.drawLine(r.topLeft(), r.bottomLeft());
      p.setPen(bottomRight);
      p.drawLine(r.bottomLeft(), r.bottomRight());
      p.drawLine(r.topRight(), r.bottomRight());
      r.adjust(1, 1, -1, -1);
    }
  }

 private:
  Bevel outer_;
  Bevel inner_;
};

// A horizontal rule: the top line of a lowered bevel (a dark line over a light one).
class TRule : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(0, 0, width() - 1, 0);
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(0, 1, width() - 1, 1);
  }
};

QString findGuide() {
  const std::string folder = QCoreApplication::applicationDirPath().toStdString() + "/";
  // The guide in the interface's language, the French one when the English one is missing.
  std::string guide;
  if (CurrentUiLanguage() == UiLanguage::ulEnglish) guide = userGuidePath(folder, "guide_en.html");
  if (guide.empty()) guide = userGuidePath(folder);
  return QString::fromStdString(guide);
}

}  // namespace

QImage AboutPicture(qreal ratio) {
  QImage image(qRound(96 * ratio), qRound(200 * ratio), QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, 120);
  sky.setColorAt(0, QColor(58, 104, 176));
  sky.setColorAt(1, QColor(247, 196, 128));
  p.fillRect(QRect(0, 0, 96, 200), sky);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 236, 170));
  p.drawEllipse(QPointF(62, 92), 13, 13);
  QPainterPath far;
  far.moveTo(0, 118);
  far.cubicTo(20, 96, 40, 104, 56, 112);
  far.cubicTo(70, 100, 86, 98, 96, 108);
  far.lineTo(96, 200);
  far.lineTo(0, 200);
  p.setBrush(QColor(92, 116, 140));
  p.drawPath(far);
  QPainterPath near;
  near.moveTo(0, 146);
  near.cubicTo(30, 128, 60, 150, 96, 134);
  near.lineTo(96, 200);
  near.lineTo(0, 200);
  p.setBrush(QColor(62, 118, 70));
  p.drawPath(near);
  p.end();

  // The frame: every pixel pulled towards cream in proportion to how far it lies outside an oval.
  const QColor cream(246, 240, 226);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const double dx = ((x + 0.5) / ratio - 48) / 40.0, dy = ((y + 0.5) / ratio - 100) / 88.0;
      const double t = std::clamp((std::sqrt(dx * dx + dy * dy) - 0.8) / 0.25, 0.0, 1.0);
      const QColor c(line[x]);
      line[x] = qRgb(int(c.red() + (cream.red() - c.red()) * t),
                     int(c.green() + (cream.green() - c.green()) * t),
                     int(c.blue() + (cream.blue() - c.blue()) * t));
    }
  }
  return image;
}

TAProposForm::TAProposForm(QWidget* parent, const QString& guidePath) : QDialog(parent) {
  setObjectName(QStringLiteral("AProposForm"));
  setWindowTitle(tr("A propos de Vorlino"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFont(DialogFont());
  setFixedSize(313, 277);
  OpenUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };

  auto* panel1 = new TBevelPanel(this, TBevelPanel::bvLowered, TBevelPanel::bvRaised);
  panel1->setObjectName(QStringLiteral("Panel1"));
  Place(panel1, 8, 8, 297, 225);
  auto* panel2 = new TBevelPanel(panel1, TBevelPanel::bvLowered, TBevelPanel::bvNone);
  panel2->setObjectName(QStringLiteral("Panel2"));
  Place(panel2, 12, 12, 98, 202);
  Image1 = new QLabel(panel2);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setPixmap(QPixmap::fromImage(AboutPicture(devicePixelRatioF())));
  Place(Image1, 1, 1, 96, 200);

  ProductName = new QLabel(QStringLiteral("Vorlino"), panel1);
  ProductName->setObjectName(QStringLiteral("ProductName"));
  QFont bold = font();
  bold.setBold(true);
  ProductName->setFont(bold);
  PlaceAt(ProductName, 127, 24);
  Version = new QLabel(QString::fromUtf8(kVersionText), panel1);
  Version->setObjectName(QStringLiteral("Version"));
  PlaceAt(Version, 128, 44);
  auto* bevel1 = new TRule(panel1);
  bevel1->setObjectName(QStringLiteral("Bevel1"));
  Place(bevel1, 128, 80, 153, 9);
  Author = new QLabel(tr(kAuthorText), panel1);
  Author->setObjectName(QStringLiteral("Author"));
  PlaceAt(Author, 128, 96);

  const QString guide = guidePath.isEmpty() ? findGuide() : guidePath;
  if (!guide.isEmpty() && QFileInfo(guide).isFile())
    guideUrl_ = QUrl::fromLocalFile(QFileInfo(guide).absoluteFilePath());
  // The full file address would not fit the box: the link shows what it opens, the address is
  // its tip.
  URL = new QLabel(tr("Guide de l'utilisateur"), panel1);
  URL->setObjectName(QStringLiteral("URL"));
  QFont link = font();
  link.setUnderline(true);
  URL->setFont(link);
  if (guideUrl_.isEmpty()) {
    URL->setEnabled(false);
  } else {
    QPalette blue = URL->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    URL->setPalette(blue);
    URL->setCursor(Qt::PointingHandCursor);
    URL->setToolTip(guideUrl_.toString());
    URL->installEventFilter(this);
  }
  PlaceAt(URL, 128, 116);

  BOk = new QPushButton(tr("Ok"), this);
  BOk->setObjectName(QStringLiteral("BOk"));
  BOk->setDefault(true);
  Place(BOk, 230, 240, 75, 27);
  connect(BOk, &QPushButton::clicked, this, &QDialog::accept);
}

void TAProposForm::URLClick() {
  if (!guideUrl_.isEmpty() && OpenUrl) OpenUrl(guideUrl_);
}

void TAProposForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  if (screen) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}

bool TAProposForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == URL && event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton && URL->rect().contains(mouse->position().toPoint())) {
      URLClick();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace vorlino
