// TAProposForm: the about box. The picture is drawn by the program itself; the link opens the
// user guide in the user's default viewer.
#pragma once

#include <QDialog>
#include <QString>
#include <QUrl>
#include <functional>

class QLabel;
class QPushButton;

namespace vorlino {

inline constexpr const char* kVersionText = "Version 1.4.0";
inline constexpr const char* kAuthorText =
    QT_TRANSLATE_NOOP("vorlino::TAProposForm", "L'équipe Vorlino");

class TAProposForm : public QDialog {
  Q_OBJECT

 public:
  // guidePath: the user guide file; empty looks for it from the program's folder (installed
  // guide first, then the source tree's docs/guide.html). Without a guide the link is greyed.
  explicit TAProposForm(QWidget* parent = nullptr, const QString& guidePath = QString());

  // The address the link opens (a file:// URL), empty without a guide.
  QUrl GuideUrl() const { return guideUrl_; }

  // How the link is opened; QDesktopServices::openUrl unless a test replaces it.
  std::function<void(const QUrl&)> OpenUrl;

  QLabel* Image1 = nullptr;
  QLabel* ProductName = nullptr;
  QLabel* Version = nullptr;
  QLabel* Author = nullptr;
  QLabel* URL = nullptr;
  QPushButton* BOk = nullptr;

 public slots:
  void URLClick();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QUrl guideUrl_;
};

// The about box's 96 x 200 picture: a landscape under a soft oval frame, the program's own work,
// drawn at `ratio` device pixels per logical pixel.
QImage AboutPicture(qreal ratio = 1.0);

}  // namespace vorlino
