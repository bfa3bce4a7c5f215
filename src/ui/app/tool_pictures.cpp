#include "app/tool_pictures.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>
#include <QScreen>
#include <algorithm>
#include <functional>

namespace vorlino {

namespace {

const QColor kOutline(40, 40, 48);

void DrawOpen(QPainter& p) {
  // Back of the folder with its tab.
  QPainterPath back;
  back.moveTo(3.5, 27.5);
  back.lineTo(3.5, 7.5);
  back.lineTo(11.5, 7.5);
  back.lineTo(14.5, 10.5);
  back.lineTo(29.5, 10.5);
  back.lineTo(29.5, 27.5);
  back.closeSubpath();
  p.setPen(QPen(QColor(120, 80, 10), 1));
  p.setBrush(QColor(214, 160, 40));
  p.drawPath(back);
  // A sheet sticking out.
  p.setPen(QPen(QColor(130, 130, 130), 1));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(8.5, 5.5, 17, 12));
  // The front flap, opened towards the viewer.
  QPainterPath front;
  front.moveTo(3.5, 27.5);
  front.lineTo(9.5, 14.5);
  front.lineTo(35.5, 14.5);
  front.lineTo(29.5, 27.5);
  front.closeSubpath();
  QLinearGradient flap(0, 14, 0, 28);
  flap.setColorAt(0, QColor(255, 222, 120));
  flap.setColorAt(1, QColor(236, 180, 50));
  p.setPen(QPen(QColor(120, 80, 10), 1));
  p.setBrush(flap);
  p.drawPath(front);
}

void DrawSave(QPainter& p) {
  QPainterPath body;
  body.moveTo(6.5, 3.5);
  body.lineTo(27.5, 3.5);
  body.lineTo(31.5, 7.5);
  body.lineTo(31.5, 28.5);
  body.lineTo(6.5, 28.5);
  body.closeSubpath();
  p.setPen(QPen(QColor(20, 40, 90), 1));
  p.setBrush(QColor(52, 96, 178));
  p.drawPath(body);
  // Metal shutter with its window.
  p.setPen(QPen(QColor(90, 90, 100), 1));
  p.setBrush(QColor(200, 204, 212));
  p.drawRect(QRectF(11.5, 3.5, 14, 9));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(52, 96, 178));
  p.drawRect(QRectF(20, 5, 3, 6));
  // Label with writing lines.
  p.setPen(QPen(QColor(90, 90, 100), 1));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(10.5, 16.5, 17, 12));
  p.setPen(QPen(QColor(150, 160, 190), 1));
  for (int y = 20; y <= 26; y += 3) p.drawLine(QPointF(13, y + 0.5), QPointF(25, y + 0.5));
}

void DrawPrint(QPainter& p) {
  // Paper going in.
  p.setPen(QPen(QColor(120, 120, 120), 1));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(10.5, 3.5, 16, 11));
  // Body.
  QLinearGradient body(0, 12, 0, 25);
  body.setColorAt(0, QColor(196, 198, 204));
  body.setColorAt(1, QColor(132, 136, 146));
  p.setPen(QPen(kOutline, 1));
  p.setBrush(body);
  p.drawRoundedRect(QRectF(3.5, 12.5, 30, 12), 2, 2);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(60, 190, 80));
  p.drawEllipse(QRectF(27, 15, 3, 3));
  // Printed sheet coming out.
  p.setPen(QPen(QColor(120, 120, 120), 1));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(9.5, 20.5, 18, 9));
  p.setPen(QPen(QColor(70, 110, 200), 1));
  p.drawLine(QPointF(12, 23.5), QPointF(25, 23.5));
  p.drawLine(QPointF(12, 26.5), QPointF(22, 26.5));
}

void DrawMask(QPainter& p) {
  const QRectF frame(3.5, 3.5, 30, 25);
  // A small landscape...
  QLinearGradient sky(0, 4, 0, 20);
  sky.setColorAt(0, QColor(90, 160, 235));
  sky.setColorAt(1, QColor(190, 225, 250));
  p.setPen(Qt::NoPen);
  p.setBrush(sky);
  p.drawRect(frame);
  p.setBrush(QColor(255, 210, 60));
  p.drawEllipse(QRectF(22, 7, 6, 6));
  QPainterPath hill;
  hill.moveTo(3.5, 22);
  hill.cubicTo(12, 14, 20, 16, 33.5, 20);
  hill.lineTo(33.5, 28.5);
  hill.lineTo(3.5, 28.5);
  hill.closeSubpath();
  p.setBrush(QColor(70, 150, 60));
  p.drawPath(hill);
  // ...framed by an oval vignette.
  QRadialGradient vignette(frame.center(), 16);
  vignette.setColorAt(0.0, QColor(255, 255, 255, 0));
  vignette.setColorAt(0.7, QColor(255, 255, 255, 0));
  vignette.setColorAt(1.0, QColor(255, 255, 255, 245));
  p.save();
  p.translate(frame.center());
  p.scale(1.0, 25.0 / 30.0);
  p.translate(-frame.center());
  p.setBrush(vignette);
  p.drawRect(QRectF(frame.left(), frame.center().y() - 18, frame.width(), 36));
  p.restore();
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kOutline, 1));
  p.drawRect(frame);
}

void DrawResize(QPainter& p) {
  // The larger outline, dashed...
  QPen dashed(QColor(70, 70, 80), 1, Qt::DashLine);
  p.setPen(dashed);
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(3.5, 3.5, 30, 25));
  // ...the picture in its corner...
  p.setPen(QPen(kOutline, 1));
  p.setBrush(QColor(120, 180, 235));
  p.drawRect(QRectF(3.5, 14.5, 15, 14));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(70, 150, 60));
  p.drawRect(QRectF(4, 23, 14, 5));
  // ...and the arrow that grows it.
  p.setPen(QPen(QColor(200, 40, 30), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawLine(QPointF(14, 18), QPointF(28, 8));
  QPolygonF head;
  head << QPointF(30, 6) << QPointF(22, 7.5) << QPointF(28.5, 13.5);
  p.setBrush(QColor(200, 40, 30));
  p.drawPolygon(head);
}

// A curved arrow turning anticlockwise (undo); redo draws it mirrored.
void DrawUndo(QPainter& p) {
  QPainterPath arc;
  arc.moveTo(10, 13);
  arc.cubicTo(16, 5, 30, 7, 29, 18);
  arc.cubicTo(28.5, 24, 23, 27, 17, 27);
  QPen pen(QColor(30, 90, 170), 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  p.drawPath(arc);
  QPolygonF head;
  head << QPointF(4, 8) << QPointF(15, 9) << QPointF(6.5, 18);
  p.setPen(QPen(QColor(30, 90, 170), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(QColor(30, 90, 170));
  p.drawPolygon(head);
}

void DrawRedo(QPainter& p) {
  p.translate(kToolPictureWidth, 0);
  p.scale(-1, 1);
  DrawUndo(p);
}

// A landscape cut in two: plain on the left, framed on the right.
void DrawBeforeAfter(QPainter& p) {
  const QRectF photo(4.5, 5.5, 28, 22);
  QLinearGradient sky(0, 5, 0, 28);
  sky.setColorAt(0, QColor(120, 180, 240));
  sky.setColorAt(0.6, QColor(200, 230, 250));
  sky.setColorAt(0.61, QColor(90, 160, 70));
  sky.setColorAt(1, QColor(60, 120, 50));
  p.setPen(Qt::NoPen);
  p.setBrush(sky);
  p.drawRect(photo);
  // The frame on the right half: a soft white border.
  p.save();
  p.setClipRect(QRectF(18.5, 0, 20, 32));
  QRadialGradient frame(photo.center(), 16);
  frame.setColorAt(0.55, QColor(255, 255, 255, 0));
  frame.setColorAt(1, QColor(255, 255, 255, 255));
  p.setBrush(frame);
  p.drawRect(photo);
  p.restore();
  p.setPen(QPen(kOutline, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(photo);
  p.setPen(QPen(kOutline, 1.5));
  p.drawLine(QPointF(18.5, 2.5), QPointF(18.5, 30.5));
}

std::function<void(QPainter&)> DrawerOf(ToolPicture picture) {
  switch (picture) {
    case ToolPicture::tpOpen:
      return DrawOpen;
    case ToolPicture::tpSave:
      return DrawSave;
    case ToolPicture::tpPrint:
      return DrawPrint;
    case ToolPicture::tpMask:
      return DrawMask;
    case ToolPicture::tpResize:
      return DrawResize;
    case ToolPicture::tpUndo:
      return DrawUndo;
    case ToolPicture::tpRedo:
      return DrawRedo;
    case ToolPicture::tpBeforeAfter:
      return DrawBeforeAfter;
  }
  return {};
}

// Grey, lighter and half transparent: the same drawing, plainly unavailable.
QImage Disabled(const QImage& image) {
  QImage grey = image.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < grey.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(grey.scanLine(y));
    for (int x = 0; x < grey.width(); ++x) {
      const QRgb c = line[x];
      const int g = 128 + qGray(c) / 2;
      line[x] = qRgba(g, g, g, qAlpha(c) * 3 / 4);
    }
  }
  return grey;
}

QImage Render(int width, int height, qreal ratio, const std::function<void(QPainter&)>& draw) {
  QImage image(qRound(width * ratio), qRound(height * ratio), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  image.setDevicePixelRatio(ratio);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  draw(painter);
  painter.end();
  return image;
}

// Every device pixel ratio the icons may be shown at: 1, and that of each screen, so that a
// window moved to a denser screen still finds a picture drawn for it rather than an enlarged one.
QList<qreal> IconRatios() {
  QList<qreal> ratios{1.0};
  if (qGuiApp != nullptr) {
    ratios.append(qGuiApp->devicePixelRatio());
    for (const QScreen* screen : QGuiApplication::screens())
      ratios.append(screen->devicePixelRatio());
  }
  std::sort(ratios.begin(), ratios.end());
  ratios.erase(std::unique(ratios.begin(), ratios.end()), ratios.end());
  return ratios;
}

QIcon IconOf(int width, int height, const std::function<void(QPainter&)>& draw) {
  QIcon icon;
  for (const qreal ratio : IconRatios()) {
    const QImage image = Render(width, height, ratio, draw);
    icon.addPixmap(QPixmap::fromImage(image), QIcon::Normal);
    icon.addPixmap(QPixmap::fromImage(Disabled(image)), QIcon::Disabled);
  }
  return icon;
}

void DrawBrowse(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(30, 30, 30));
  for (int i = 0; i < 3; ++i) p.drawEllipse(QRectF(2.5 + i * 4.5, 10, 2.4, 2.4));
}

void DrawNegative(QPainter& p) {
  const QRectF disc(2.5, 2.5, 11, 11);
  p.setPen(QPen(kOutline, 1));
  p.setBrush(Qt::white);
  p.drawEllipse(disc);
  p.setBrush(QColor(20, 20, 20));
  p.drawPie(disc, 90 * 16, 180 * 16);
}

void DrawRotate(QPainter& p) {
  QPen pen(QColor(30, 90, 170), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(3, 3, 10, 10), 150 * 16, -270 * 16);
  QPolygonF head;
  head << QPointF(6.5, 0.5) << QPointF(10.5, 3.5) << QPointF(6, 6.5);
  p.setPen(QPen(QColor(30, 90, 170), 1));
  p.setBrush(QColor(30, 90, 170));
  p.drawPolygon(head);
}

}  // namespace

QImage DrawToolPicture(ToolPicture picture, bool enabled, qreal ratio) {
  QImage image = Render(kToolPictureWidth, kToolPictureHeight, ratio, DrawerOf(picture));
  return enabled ? image : Disabled(image);
}

QIcon ToolIcon(ToolPicture picture) {
  return IconOf(kToolPictureWidth, kToolPictureHeight, DrawerOf(picture));
}

QIcon PanelGlyphIcon(PanelGlyph glyph) {
  std::function<void(QPainter&)> draw;
  switch (glyph) {
    case PanelGlyph::pgBrowse:
      draw = DrawBrowse;
      break;
    case PanelGlyph::pgNegative:
      draw = DrawNegative;
      break;
    case PanelGlyph::pgRotate:
      draw = DrawRotate;
      break;
  }
  return IconOf(16, 16, draw);
}

}  // namespace vorlino
