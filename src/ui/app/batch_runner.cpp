#include "app/batch_runner.h"

#include <QFileInfo>
#include <QMetaObject>
#include <algorithm>
#include <utility>

#include "app/core_texts.h"

namespace vorlino {

TBatchRunner::TBatchRunner(const Bitmap& maskPicture, const FrameFileSettings& settings,
                           bool overwrite, QObject* parent)
    : QObject(parent),
      maskPicture_(maskPicture),
      masks_(maskPicture_, settings.mask),
      settings_(settings),
      overwrite_(overwrite) {}

TBatchRunner::~TBatchRunner() {
  cancel_ = true;
  JoinWorkers();
}

void TBatchRunner::Start(std::vector<FrameFileJob> jobs, int threadCount) {
  if (running_ || !workers_.empty()) return;
  jobs_ = std::move(jobs);
  running_ = true;
  if (jobs_.empty()) {
    QMetaObject::invokeMethod(
        this, [this] { OnWorkerEnded(); }, Qt::QueuedConnection);
    liveWorkers_ = 1;
    return;
  }
  if (threadCount <= 0) threadCount = static_cast<int>(std::thread::hardware_concurrency());
  threadCount = std::clamp(threadCount, 1, static_cast<int>(jobs_.size()));
  liveWorkers_ = threadCount;
  workers_.reserve(threadCount);
  for (int i = 0; i < threadCount; ++i) workers_.emplace_back([this] { Work(); });
}

void TBatchRunner::Cancel() {
  cancel_ = true;
}

void TBatchRunner::Work() {
  for (;;) {
    if (cancel_) break;
    const std::size_t index = next_.fetch_add(1);
    if (index >= jobs_.size()) break;
    const FrameFileJob& job = jobs_[index];
    const QString name = QFileInfo(QString::fromStdString(job.input)).fileName();
    QMetaObject::invokeMethod(
        this, [this, name] { emit FileStarted(name); }, Qt::QueuedConnection);
    FrameFileResult result = frameFile(job, settings_, masks_, overwrite_);
    QMetaObject::invokeMethod(
        this, [this, result = std::move(result)] { OnFileFinished(result); }, Qt::QueuedConnection);
  }
  QMetaObject::invokeMethod(
      this, [this] { OnWorkerEnded(); }, Qt::QueuedConnection);
}

void TBatchRunner::OnFileFinished(const FrameFileResult& result) {
  switch (result.outcome) {
    case FrameOutcome::foDone:
      ++done_;
      break;
    case FrameOutcome::foSkipped:
      ++skipped_;
      break;
    case FrameOutcome::foFailed:
      ++failed_;
      failures_.append(TranslatedCoreText(result.message));
      break;
  }
  emit Progress(Finished(), Total());
}

void TBatchRunner::OnWorkerEnded() {
  if (--liveWorkers_ > 0) return;
  // Every worker has posted its last call; the threads are ending or ended.
  JoinWorkers();
  running_ = false;
  emit AllFinished();
}

void TBatchRunner::JoinWorkers() {
  for (std::thread& worker : workers_) {
    if (worker.joinable()) worker.join();
  }
}

}  // namespace vorlino
