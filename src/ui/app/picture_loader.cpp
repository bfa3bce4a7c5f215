#include "app/picture_loader.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

#include "imagefile/jpeg_dc.h"
#include "imagefile/jpeg_quick.h"
#include "imagefile/load_image.h"
#include "imagefile/orientation.h"

namespace vorlino {

struct TPictureLoader::Job {
  std::string fileName;
  JpegOutline outline;
  std::mutex mutex;
  std::condition_variable fullDone;
  // A first look at 1/8 reads only the DC codes, on both processors; the full decode starts
  // once it is done (it would take one of them and delay the first picture).
  bool firstLookFirst = false;
  bool firstLookDone = false;
  // The file as the first look read it, shared with the full decode; neither writes it.
  std::shared_ptr<const PixelBuffer> bytes;
  std::size_t size = 0;
  std::condition_variable firstLookEnded;
  bool early = false;  // a reduced picture is waiting to be taken
  vorlino::Bitmap reduced;
  bool full = false;
  Full outcome;
  std::atomic<bool> cancelled{false};  // nobody waits for the pictures any more
};

// The workers are plain functions of their job: a forgotten job lives on in them until they end.
namespace {

constexpr int kReducedNice = 10;
// The longest the full decode waits for the first look (a 400 MP photo's takes about this).
constexpr std::chrono::milliseconds kFirstLookWait{400};

std::mutex gHoldMutex;
std::condition_variable gReleased;
bool gHold = false;

void waitWhileHeld() {
  std::unique_lock lock(gHoldMutex);
  gReleased.wait(lock, [] { return !gHold; });
}

void publishReduced(TPictureLoader::Job& job, Bitmap& picture,
                    const std::function<void()>& announce) {
  applyOrientation(picture, job.outline.orientation);
  {
    const std::lock_guard lock(job.mutex);
    job.reduced.swap(picture);
    job.early = true;
  }
  announce();
}

void endFirstLook(TPictureLoader::Job& job) {
  {
    const std::lock_guard lock(job.mutex);
    job.firstLookDone = true;
  }
  job.firstLookEnded.notify_all();
}

// The embedded preview costs a few milliseconds. At 1/8 of the size, the first look reads only
// the DC of every block, on two threads: under a fifth of the full decode. Other reductions use
// libjpeg's scaled decode, which reads the whole file and for a baseline file costs more than
// half the full decode: it runs at a low priority (nice 10), at full speed on a processor the
// full decode and the window leave idle; where it would compete with them, it yields, the full
// picture comes first and the reduced one is dropped.
void decodeReduced(TPictureLoader::Job& job, const std::function<void()>& announce) {
  Bitmap picture;
  if (decodeQuickPreview(job.outline, picture)) publishReduced(job, picture, announce);
  auto bytes = std::make_shared<PixelBuffer>();
  std::size_t size = 0;
  const bool read = readWholeFile(job.fileName, *bytes, size);
  if (read && job.firstLookFirst) {
    {
      const std::lock_guard lock(job.mutex);
      job.bytes = bytes;
      job.size = size;
    }
    if (readJpegDc(bytes->data(), size, picture).ok()) {
      endFirstLook(job);
      publishReduced(job, picture, announce);
      return;
    }
  }
  endFirstLook(job);
  if (!read) return;
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kReducedNice);
  const JpegHeader& header = job.outline.header;
  if (!readJpegReduced(bytes->data(), size, quickReduction(header.width, header.height), picture)
           .ok())
    return;
  publishReduced(job, picture, announce);
}

void decodeFull(TPictureLoader::Job& job, const std::function<void()>& announce) {
  std::shared_ptr<const PixelBuffer> bytes;
  std::size_t size = 0;
  {
    std::unique_lock lock(job.mutex);
    job.firstLookEnded.wait_for(lock, kFirstLookWait, [&job] { return job.firstLookDone; });
    bytes = std::move(job.bytes);
    size = job.size;
  }
  TPictureLoader::Full outcome;
  DecodeLimits limits;
  limits.cancelled = &job.cancelled;
  outcome.result = bytes ? decodeImageBytes(job.fileName, bytes->data(), size, outcome.picture,
                                            outcome.metadata, limits)
                         : decodeImageFile(job.fileName, outcome.picture, outcome.metadata, limits);
  bytes.reset();
  waitWhileHeld();
  {
    const std::lock_guard lock(job.mutex);
    job.outcome = std::move(outcome);
    job.full = true;
  }
  job.fullDone.notify_all();
  announce();
}

}  // namespace

TPictureLoader::TPictureLoader(QObject* parent) : QObject(parent) {}

TPictureLoader::~TPictureLoader() {
  Cancel();
  for (Worker& worker : workers_) worker.thread.join();
}

void TPictureLoader::Start(const std::string& fileName, JpegOutline outline) {
  Cancel();
  JoinFinished();
  job_ = std::make_shared<Job>();
  job_->fileName = fileName;
  job_->outline = std::move(outline);
  const JpegHeader& header = job_->outline.header;
  job_->firstLookFirst = quickReduction(header.width, header.height) == 8;
  job_->firstLookDone = !job_->firstLookFirst;
  Launch(decodeFull, &TPictureLoader::fullArrived);
  Launch(decodeReduced, &TPictureLoader::earlyArrived);
}

void TPictureLoader::Launch(void (*work)(Job&, const std::function<void()>& announce),
                            void (TPictureLoader::*arrived)()) {
  auto finished = std::make_shared<std::atomic<bool>>(false);
  std::weak_ptr<Job> watched = job_;
  std::shared_ptr<Job> job = job_;
  std::thread thread([this, work, arrived, job, finished, watched] {
    // Told through the event loop, and only while this is still the current load.
    const auto announce = [this, arrived, watched] {
      QMetaObject::invokeMethod(
          this,
          [this, arrived, watched] {
            const std::shared_ptr<Job> current = watched.lock();
            if (current && current == job_) (this->*arrived)();
          },
          Qt::QueuedConnection);
    };
    work(*job, announce);
    finished->store(true);
  });
  workers_.push_back({std::move(thread), std::move(finished)});
}

void TPictureLoader::JoinFinished() {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (it->finished->load()) {
      it->thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

bool TPictureLoader::TakeEarly(vorlino::Bitmap& picture) {
  if (!job_) return false;
  const std::lock_guard lock(job_->mutex);
  if (!job_->early) return false;
  picture.swap(job_->reduced);
  job_->early = false;
  return true;
}

TPictureLoader::Full TPictureLoader::WaitFull() {
  Full outcome;
  if (!job_) {
    outcome.result = CodecResult::fail(CodecError::ceIo, "no load");
    return outcome;
  }
  {
    std::unique_lock lock(job_->mutex);
    job_->fullDone.wait(lock, [this] { return job_->full; });
    outcome = std::move(job_->outcome);
  }
  job_.reset();
  JoinFinished();
  return outcome;
}

void TPictureLoader::Cancel() {
  if (job_) job_->cancelled.store(true);
  job_.reset();
}

void TPictureLoader::HoldFullPictures(bool hold) {
  {
    const std::lock_guard lock(gHoldMutex);
    gHold = hold;
  }
  gReleased.notify_all();
}

}  // namespace vorlino
