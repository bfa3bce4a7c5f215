// The gallery of masks: a dock beside the view listing every picture of the program's "Masques"
// folder and of the user's own masks folder, each with its thumbnail and name.
//
// Picking a thumbnail (a click, or Enter on the current one) only emits maskChosen: the window
// loads it the way the browse button does. Thumbnails are made on a worker thread and cached on
// disk; cached ones come first, so a folder seen before shows at once. Pictures dropped on the
// gallery are copied into the user's folder, never over an existing file.
#pragma once

#include <QDockWidget>
#include <QImage>
#include <QListWidget>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class QFileSystemWatcher;
class QThread;

namespace vorlino {

// The thumbnail list: Enter picks the current item as a click does.
class TMaskList : public QListWidget {
  Q_OBJECT

 public:
  explicit TMaskList(QWidget* parent = nullptr);

 signals:
  void picked(QListWidgetItem* item);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

class TMaskGallery : public QDockWidget {
  Q_OBJECT

 public:
  // programMasks: the program's "Masques" folder (empty when it has none); userMasks: the user's
  // own folder, created when the first picture is added to it; cacheFolder: where thumbnails are
  // kept.
  TMaskGallery(QWidget* parent, const QString& programMasks, const QString& userMasks,
               const QString& cacheFolder);
  ~TMaskGallery() override;

  TMaskList* List() const { return list_; }
  QString UserMasksFolder() const { return userMasks_; }
  // Lists both folders again and starts making the thumbnails that are missing.
  void Refresh();
  // Copies the picture files among paths into the user's folder; non-pictures are refused with
  // one message naming them. Returns the new full names.
  QStringList AddMasks(const QStringList& paths);
  // Shows the mask the window holds as the selected thumbnail (none when it is not listed).
  void MarkChosen(const QString& path);

 signals:
  void maskChosen(const QString& path);
  void maskHovered(const QString& path);
  void maskHoverEnded();
  // Every thumbnail of the current listing has arrived (made, cached or failed).
  void thumbnailsDone();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Job;
  void StartThumbnails(const QStringList& paths);
  void ThumbnailReady(int generation, int row, const QImage& thumb, bool failed);
  void EndHover();
  void StopJobs(bool wait);

  TMaskList* list_ = nullptr;
  QFileSystemWatcher* watcher_ = nullptr;
  QString programMasks_;
  QString userMasks_;
  QString cacheFolder_;
  QString chosen_;
  bool listed_ = false;
  int generation_ = 0;
  int pending_ = 0;
  QListWidgetItem* hovered_ = nullptr;
  std::vector<std::pair<QThread*, std::shared_ptr<Job>>> jobs_;
};

}  // namespace vorlino
