#include "app/mask_gallery.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <string>
#include <utility>

#include "app/file_names.h"
#include "gallery/mask_thumbnails.h"
#include "gallery/user_masks.h"
#include "imagefile/format_registry.h"
#include "prompts/prompts.h"

namespace vorlino {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kCellWidth = 116;
constexpr int kCellHeight = 136;
constexpr int kRefreshDelayMs = 250;

// A one-pixel line just outside `inner`, drawn as four strips so that it stays on whole device
// pixels wherever `inner` falls.
void DrawOutline(QPainter& painter, const QRectF& inner, const QColor& colour) {
  const qreal l = inner.left(), t = inner.top(), w = inner.width(), h = inner.height();
  painter.fillRect(QRectF(l - 1, t - 1, w + 2, 1), colour);
  painter.fillRect(QRectF(l - 1, t + h, w + 2, 1), colour);
  painter.fillRect(QRectF(l - 1, t, 1, h), colour);
  painter.fillRect(QRectF(l + w, t, 1, h), colour);
}

// The thumbnail centred in a square tile with a thin outline, so that white masks show on a
// white list; without a thumbnail, a plain tile (crossed when the picture cannot be read).
// Drawn at `ratio` device pixels per logical one; the thumbnail carries its own ratio.
QIcon TileIcon(const QImage& thumb, bool failed, const QPalette& palette, qreal ratio) {
  QPixmap tile(qRound((kThumbnailEdge + 2) * ratio), qRound((kThumbnailEdge + 2) * ratio));
  tile.setDevicePixelRatio(ratio);
  tile.fill(Qt::transparent);
  QPainter painter(&tile);
  QRect frame;
  QRectF outlined;
  if (thumb.isNull()) {
    frame = QRect(1, 1, kThumbnailEdge, kThumbnailEdge);
    painter.fillRect(frame, palette.color(QPalette::Button));
    if (failed) {
      painter.setPen(QPen(palette.color(QPalette::Mid), 2));
      painter.drawLine(frame.topLeft() + QPoint(24, 24), frame.bottomRight() - QPoint(24, 24));
      painter.drawLine(frame.topRight() + QPoint(-24, 24), frame.bottomLeft() + QPoint(24, -24));
    }
    outlined = frame;
  } else {
    // Centred on whole device pixels: the thumbnail's pixels meet the screen's one to one.
    const QPointF at(((tile.width() - thumb.width()) / 2) / ratio,
                     ((tile.height() - thumb.height()) / 2) / ratio);
    painter.drawImage(at, thumb);
    outlined = QRectF(at, thumb.deviceIndependentSize());
  }
  DrawOutline(painter, outlined, palette.color(QPalette::Mid));
  painter.end();
  // The selection shows around the name; a tinted thumbnail would hide the mask's greys.
  QIcon icon(tile);
  icon.addPixmap(tile, QIcon::Selected);
  return icon;
}

QImage ToImage(const GreyThumbnail& thumb) {
  QImage image(thumb.width, thumb.height, QImage::Format_Grayscale8);
  for (int y = 0; y < thumb.height; ++y) {
    std::copy_n(thumb.pixels.data() + static_cast<std::size_t>(y) * thumb.width, thumb.width,
                image.scanLine(y));
  }
  return image;
}

QString WithSeparator(const QString& folder) {
  return folder.isEmpty() || folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

}  // namespace

TMaskList::TMaskList(QWidget* parent) : QListWidget(parent) {}

void TMaskList::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      currentItem() != nullptr) {
    event->accept();
    emit picked(currentItem());
    return;
  }
  QListWidget::keyPressEvent(event);
}

struct TMaskGallery::Job {
  std::atomic<bool> cancelled{false};
};

TMaskGallery::TMaskGallery(QWidget* parent, const QString& programMasks, const QString& userMasks,
                           const QString& cacheFolder)
    : QDockWidget(tr("Galerie de masques"), parent),
      programMasks_(WithSeparator(programMasks)),
      userMasks_(WithSeparator(userMasks)),
      cacheFolder_(cacheFolder) {
  setObjectName(QStringLiteral("DockGalerie"));
  setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
  list_ = new TMaskList(this);
  list_->setObjectName(QStringLiteral("LstMasques"));
  list_->setViewMode(QListView::IconMode);
  list_->setMovement(QListView::Static);
  list_->setResizeMode(QListView::Adjust);
  list_->setIconSize(QSize(kThumbnailEdge + 2, kThumbnailEdge + 2));
  list_->setGridSize(QSize(kCellWidth, kCellHeight));
  list_->setUniformItemSizes(true);
  list_->setWordWrap(true);
  list_->setTextElideMode(Qt::ElideMiddle);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setMouseTracking(true);
  list_->setDragDropMode(QAbstractItemView::NoDragDrop);
  list_->setAcceptDrops(true);
  list_->viewport()->setAcceptDrops(true);
  list_->viewport()->installEventFilter(this);
  // Two columns and the scroll bar.
  list_->setMinimumWidth(2 * kCellWidth + list_->style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                         2 * list_->frameWidth() + 4);
  setWidget(list_);

  auto pick = [this](QListWidgetItem* item) {
    if (item != nullptr) emit maskChosen(item->data(kPathRole).toString());
  };
  connect(list_, &QListWidget::itemClicked, this, pick);
  connect(list_, &TMaskList::picked, this, pick);
  connect(list_, &QListWidget::itemEntered, this, [this](QListWidgetItem* item) {
    if (item == hovered_) return;
    hovered_ = item;
    emit maskHovered(item->data(kPathRole).toString());
  });
  connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
    if (!visible) EndHover();
  });

  // Folders changed by another program (or by a drop) are listed again, once things settle.
  watcher_ = new QFileSystemWatcher(this);
  auto* later = new QTimer(this);
  later->setSingleShot(true);
  later->setInterval(kRefreshDelayMs);
  connect(watcher_, &QFileSystemWatcher::directoryChanged, later, qOverload<>(&QTimer::start));
  connect(later, &QTimer::timeout, this, &TMaskGallery::Refresh);
  // The registry is filled here, on the user-interface thread, before any worker reads it.
  (void)fileFormats();
}

TMaskGallery::~TMaskGallery() {
  StopJobs(true);
}

void TMaskGallery::showEvent(QShowEvent* event) {
  QDockWidget::showEvent(event);
  if (listed_) return;
  listed_ = true;
  Refresh();
}

void TMaskGallery::Refresh() {
  listed_ = true;
  const QString current = list_->currentItem() != nullptr
                              ? list_->currentItem()->data(kPathRole).toString()
                              : QString();
  EndHover();
  list_->clear();

  QStringList folders;
  for (const QString& folder : {programMasks_, userMasks_}) {
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) continue;
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    bool seen = false;
    for (const QString& other : folders)
      seen = seen || QFileInfo(other).canonicalFilePath() == canonical;
    if (!seen) folders.append(folder);
  }
  if (!watcher_->directories().isEmpty()) watcher_->removePaths(watcher_->directories());
  if (!folders.isEmpty()) watcher_->addPaths(folders);

  QStringList paths;
  const QIcon waiting = TileIcon(QImage(), false, palette(), devicePixelRatioF());
  for (const QString& folder : folders) {
    for (const std::string& name : listMaskPictures(folder.toStdString())) {
      const QString path = QString::fromStdString(name);
      // A long name may wrap after its underscores rather than lose its middle.
      QString shown = NameWithoutFolderAndExtension(path);
      shown.replace(QLatin1Char('_'), QStringLiteral("_\u200B"));
      auto* item = new QListWidgetItem(waiting, shown);
      item->setData(kPathRole, path);
      item->setToolTip(path);
      item->setSizeHint(QSize(kCellWidth, kCellHeight));
      list_->addItem(item);
      if (path == chosen_) list_->setCurrentItem(item);
      paths.append(path);
    }
  }
  // The arrow keys start from the first thumbnail; nothing is shown chosen that is not.
  if (list_->currentItem() == nullptr && list_->count() > 0)
    list_->selectionModel()->setCurrentIndex(list_->model()->index(0, 0),
                                             QItemSelectionModel::NoUpdate);
  StartThumbnails(paths);
}

void TMaskGallery::StartThumbnails(const QStringList& paths) {
  StopJobs(false);
  const int generation = ++generation_;
  pending_ = static_cast<int>(paths.size());
  if (paths.isEmpty()) {
    emit thumbnailsDone();
    return;
  }
  std::vector<std::string> files;
  for (const QString& path : paths) files.push_back(path.toStdString());
  auto job = std::make_shared<Job>();
  const std::string cache = cacheFolder_.toStdString();
  // Thumbnails as many device pixels wide as the tile shows, so that a scaled desktop does not
  // enlarge them.
  const qreal ratio = devicePixelRatioF();
  const int edge = qRound(kThumbnailEdge * ratio);
  // `this` outlives the thread: the destructor cancels and waits for every job.
  QThread* thread = QThread::create([this, job, generation, files, cache, ratio, edge] {
    auto post = [&](int row, const GreyThumbnail* thumb) {
      QImage image = thumb != nullptr ? ToImage(*thumb) : QImage();
      image.setDevicePixelRatio(ratio);
      QMetaObject::invokeMethod(
          this,
          [this, generation, row, image] {
            ThumbnailReady(generation, row, image, image.isNull());
          },
          Qt::QueuedConnection);
    };
    // Cached thumbnails first, all of them, so that a folder seen before fills at once.
    std::vector<int> misses;
    for (int row = 0; row < static_cast<int>(files.size()); ++row) {
      if (job->cancelled) return;
      GreyThumbnail thumb;
      if (thumbnailFor(files[row], cache, edge, thumb, true) == ThumbnailSource::tsCache)
        post(row, &thumb);
      else
        misses.push_back(row);
    }
    for (const int row : misses) {
      if (job->cancelled) return;
      GreyThumbnail thumb;
      const bool made = thumbnailFor(files[row], cache, edge, thumb) != ThumbnailSource::tsFailed;
      post(row, made ? &thumb : nullptr);
    }
  });
  thread->setObjectName(QStringLiteral("MaskThumbnails"));
  jobs_.emplace_back(thread, job);
  connect(thread, &QThread::finished, this, [this, thread] {
    for (auto it = jobs_.begin(); it != jobs_.end(); ++it) {
      if (it->first != thread) continue;
      jobs_.erase(it);
      thread->deleteLater();
      break;
    }
  });
  thread->start(QThread::LowPriority);
}

void TMaskGallery::StopJobs(bool wait) {
  for (auto& [thread, job] : jobs_) job->cancelled = true;
  if (!wait) return;
  for (auto& [thread, job] : jobs_) {
    thread->wait();
    delete thread;
  }
  jobs_.clear();
}

void TMaskGallery::ThumbnailReady(int generation, int row, const QImage& thumb, bool failed) {
  if (generation != generation_) return;
  if (QListWidgetItem* item = list_->item(row))
    item->setIcon(TileIcon(thumb, failed, palette(), devicePixelRatioF()));
  if (--pending_ == 0) emit thumbnailsDone();
}

void TMaskGallery::MarkChosen(const QString& path) {
  chosen_ = path;
  for (int row = 0; row < list_->count(); ++row) {
    if (list_->item(row)->data(kPathRole).toString() != path) continue;
    list_->setCurrentRow(row);
    return;
  }
  list_->clearSelection();
}

void TMaskGallery::EndHover() {
  if (hovered_ == nullptr) return;
  hovered_ = nullptr;
  emit maskHoverEnded();
}

bool TMaskGallery::eventFilter(QObject* watched, QEvent* event) {
  if (watched != list_->viewport()) return QDockWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::Leave:
      EndHover();
      break;
    case QEvent::MouseMove: {
      const auto* move = static_cast<QMouseEvent*>(event);
      if (list_->itemAt(move->position().toPoint()) == nullptr) EndHover();
      break;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDropEvent*>(event);
      bool files = false;
      for (const QUrl& url : drag->mimeData()->urls()) files = files || url.isLocalFile();
      if (files) {
        drag->acceptProposedAction();
      } else {
        drag->ignore();
      }
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      QStringList paths;
      for (const QUrl& url : drop->mimeData()->urls()) {
        if (url.isLocalFile()) paths.append(url.toLocalFile());
      }
      drop->acceptProposedAction();
      // After the drop has finished, so that a message box does not run inside the drag.
      QTimer::singleShot(0, this, [this, paths] { AddMasks(paths); });
      return true;
    }
    default:
      break;
  }
  return QDockWidget::eventFilter(watched, event);
}

QStringList TMaskGallery::AddMasks(const QStringList& paths) {
  QStringList added;
  QStringList refused;
  QStringList failed;
  const QString userCanonical = QFileInfo(userMasks_).canonicalFilePath();
  for (const QString& path : paths) {
    const QFileInfo info(path);
    if (info.isDir()) {
      refused.append(info.fileName());
      continue;
    }
    // A picture already in the user's folder stays as it is: no second copy of it.
    if (!userCanonical.isEmpty() && info.canonicalPath() == userCanonical) continue;
    if (!isReadablePicture(path.toStdString())) {
      refused.append(info.fileName());
      continue;
    }
    const std::string copy = copyIntoFolder(path.toStdString(), userMasks_.toStdString());
    if (copy.empty()) {
      failed.append(info.fileName());
    } else {
      added.append(QString::fromStdString(copy));
    }
  }
  if (!added.isEmpty()) {
    Refresh();
    for (int row = 0; row < list_->count(); ++row) {
      if (list_->item(row)->data(kPathRole).toString() != added.first()) continue;
      list_->setCurrentRow(row);
      list_->scrollToItem(list_->item(row));
    }
  }
  if (refused.size() == 1) {
    showError(tr("Le fichier \"%1\" n'est pas une image : il n'a pas été ajouté aux "
                 "masques.")
                  .arg(refused.first())
                  .toStdString());
  } else if (refused.size() > 1) {
    showError(tr("Ces fichiers ne sont pas des images : ils n'ont pas été ajoutés aux "
                 "masques.\n%1")
                  .arg(refused.join(QLatin1Char('\n')))
                  .toStdString());
  }
  if (!failed.isEmpty()) {
    showError(tr("Impossible de copier \"%1\" dans %2")
                  .arg(failed.join(QStringLiteral("\", \"")), userMasks_)
                  .toStdString());
  }
  return added;
}

}  // namespace vorlino
