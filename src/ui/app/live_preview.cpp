#include "app/live_preview.h"

#include <QMetaObject>
#include <cmath>
#include <utility>

#include "compose/frame_preview.h"
#include "view/my_graphic.h"

namespace vorlino {

namespace {
// Below this zoom a reduced copy is framed first: the full result would be scaled down anyway.
constexpr double kReducedBelowZoom = 0.75;
}  // namespace

bool& LivePreviewDefault() {
  static bool enabled = true;
  return enabled;
}

TLivePreview::TLivePreview(TMyImage* view, QObject* parent)
    : QObject(parent), view_(view), worker_([this] { Run(); }) {}

TLivePreview::~TLivePreview() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
    ++latest_;
  }
  wake_.notify_all();
  worker_.join();
  if (view_->ShownBitmap() != nullptr) view_->SetShownBitmap(nullptr);
}

void TLivePreview::SetEnabled(bool on) {
  enabled_ = on;
  if (!on) DocumentChanged();
}

void TLivePreview::Request(Choice choice) {
  if (!enabled_) return;
  const Bitmap& photo = view_->Bitmap();
  if (photo.empty() || !choice.maskPicture || choice.maskPicture->empty()) {
    Drop();
    return;
  }
  if (!source_) {
    // Taken once per document state: the worker never reads the working bitmap, which the
    // commands change on this thread.
    source_ = std::make_shared<const Bitmap>(photo);
    ++sourceSerial_;
  }
  Job job;
  job.generation = ++latest_;
  job.sourceSerial = sourceSerial_;
  job.source = source_;
  job.choice = choice;
  const double zoom = view_->GetZoom();
  if (zoom < kReducedBelowZoom) {
    const double ratio = view_->devicePixelRatioF();
    job.reducedWidth = std::max(1, static_cast<int>(std::lround(photo.width() * zoom * ratio)));
    job.reducedHeight = std::max(1, static_cast<int>(std::lround(photo.height() * zoom * ratio)));
  }
  current_ = std::move(choice);
  fullCurrent_ = false;
  {
    const std::lock_guard lock(mutex_);
    pending_ = std::move(job);
  }
  wake_.notify_one();
}

void TLivePreview::Drop() {
  ++latest_;
  {
    const std::lock_guard lock(mutex_);
    pending_.reset();
  }
  current_.reset();
  fullCurrent_ = false;
  small_.reset();
  Recycle(std::move(front_));
  const bool was = shown_ != nullptr;
  shown_ = nullptr;
  UpdateView();
  if (was) emit shownChanged(false);
}

void TLivePreview::DocumentChanged() {
  Drop();
  source_.reset();
  // A snapshot shown for comparison may be gone with the change.
  if (comparing_ && before_ != nullptr) EndCompare();
}

void TLivePreview::BeginCompare(const Bitmap* before) {
  comparing_ = true;
  before_ = before;
  UpdateView();
}

void TLivePreview::EndCompare() {
  comparing_ = false;
  before_ = nullptr;
  UpdateView();
}

const Bitmap* TLivePreview::FullResult() const {
  return fullCurrent_ && shown_ == front_.get() ? front_.get() : nullptr;
}

void TLivePreview::UpdateView() {
  view_->SetShownBitmap(comparing_ ? before_ : shown_);
}

void TLivePreview::Deliver(std::uint64_t generation, std::shared_ptr<Bitmap> result, bool full) {
  if (Stale(generation) || !current_) {
    if (full) Recycle(std::move(result));
    return;
  }
  const bool was = shown_ != nullptr;
  if (full) {
    Recycle(std::move(front_));
    front_ = std::move(result);
    small_.reset();
    shown_ = front_.get();
    fullCurrent_ = true;
  } else {
    small_ = std::move(result);
    shown_ = small_.get();
    // The older full result is not shown any more: its block serves the next one.
    Recycle(std::move(front_));
  }
  UpdateView();
  if (!was) emit shownChanged(true);
  if (full) emit fullShown();
}

void TLivePreview::Recycle(std::shared_ptr<Bitmap> buffer) {
  if (!buffer) return;
  const std::lock_guard lock(mutex_);
  if (!spare_ || spare_->byteCount() < buffer->byteCount()) spare_ = std::move(buffer);
}

// ---- the worker ---------------------------------------------------------------------------------

void TLivePreview::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || pending_.has_value(); });
    if (stop_) return;
    const Job job = std::move(*pending_);
    pending_.reset();
    lock.unlock();
    Work(job);
    lock.lock();
  }
}

void TLivePreview::Work(const Job& job) {
  const Choice& choice = job.choice;
  const Bitmap& photo = *job.source;
  auto post = [this, &job](std::shared_ptr<Bitmap> result, bool full) {
    QMetaObject::invokeMethod(
        this,
        [this, generation = job.generation, result = std::move(result), full]() mutable {
          Deliver(generation, std::move(result), full);
        },
        Qt::QueuedConnection);
  };
  try {
    if (job.reducedWidth > 0) {
      if (reducedSerial_ != job.sourceSerial || reducedPhoto_.width() != job.reducedWidth ||
          reducedPhoto_.height() != job.reducedHeight) {
        reducedPhoto_ = SampleDown(photo, job.reducedWidth, job.reducedHeight);
        reducedSerial_ = job.sourceSerial;
      }
      auto small = std::make_shared<Bitmap>();
      if (Stale(job.generation)) return;
      if (FrameReduced(reducedPhoto_, photo.width(), photo.height(), *choice.maskPicture,
                       choice.mask, choice.blend, *small))
        post(std::move(small), false);
    }
    if (Stale(job.generation)) return;
    std::shared_ptr<Bitmap> buffer;
    {
      const std::lock_guard lock(mutex_);
      buffer = std::move(spare_);
    }
    if (!buffer) buffer = std::make_shared<Bitmap>();
    if (FrameCopy(photo, *choice.maskPicture, choice.mask, choice.blend, *buffer) &&
        !Stale(job.generation)) {
      post(std::move(buffer), true);
      return;
    }
    const std::lock_guard lock(mutex_);
    if (!spare_) spare_ = std::move(buffer);
  } catch (...) {
    // Out of memory or the like: no preview this time; "Appliquer le masque" reports its own.
  }
}

}  // namespace vorlino
