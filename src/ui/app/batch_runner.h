// TBatchRunner: frames a list of photos on worker threads for "Appliquer à un dossier...".
//
// Each worker takes the next photo, frames it with frameFile and reports back; at most one photo
// per worker and at most one worker per core. Results reach the GUI thread as queued calls, so
// the signals below are always emitted there and the window stays responsive meanwhile. The
// runner keeps its own copy of the mask picture: the window's mask and working bitmap are never
// read by the workers.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <thread>
#include <vector>

#include "batch/frame_files.h"
#include "bitmap/bitmap.h"

namespace vorlino {

class TBatchRunner : public QObject {
  Q_OBJECT

 public:
  TBatchRunner(const Bitmap& maskPicture, const FrameFileSettings& settings, bool overwrite,
               QObject* parent = nullptr);
  // Cancels and waits for the photos under way.
  ~TBatchRunner() override;

  // Starts the workers on jobs (once). threadCount 0: one per core; never more than the jobs.
  // With no job, Finished is emitted at the next turn of the event loop.
  void Start(std::vector<FrameFileJob> jobs, int threadCount = 0);
  // No new photo is started; the photos under way are finished (and written) first.
  void Cancel();

  bool Running() const { return running_; }
  bool Cancelled() const { return cancel_.load(); }
  int Total() const { return static_cast<int>(jobs_.size()); }
  int Finished() const { return done_ + skipped_ + failed_; }
  int Done() const { return done_; }
  int Skipped() const { return skipped_; }
  int Failed() const { return failed_; }
  // The French messages of the failed photos, in the order they failed.
  const QStringList& Failures() const { return failures_; }

 signals:
  // A worker begins a photo (its file name).
  void FileStarted(const QString& fileName);
  // A photo is finished, whatever its outcome: finished photos so far, and the total.
  void Progress(int finished, int total);
  // Every worker has stopped: all photos are finished, or the run was cancelled.
  void AllFinished();

 private:
  void Work();
  void OnFileFinished(const FrameFileResult& result);
  void OnWorkerEnded();
  void JoinWorkers();

  const Bitmap maskPicture_;  // declared before the cache, which refers to it
  MaskBitmapCache masks_;
  const FrameFileSettings settings_;
  const bool overwrite_;
  std::vector<FrameFileJob> jobs_;
  std::vector<std::thread> workers_;
  std::atomic<std::size_t> next_{0};
  std::atomic<bool> cancel_{false};
  int liveWorkers_ = 0;
  bool running_ = false;
  int done_ = 0;
  int skipped_ = 0;
  int failed_ = 0;
  QStringList failures_;
};

}  // namespace vorlino
