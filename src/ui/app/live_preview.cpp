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
    : QObject(parent), view_(view), workers_{std::thread([this] { Run(0); }), std::thread([this] {
                                               Run(1);
                                             })} {}

TLivePreview::~TLivePreview() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
    ++latest_;
  }
  wake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
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
    // The view's zoom counts device pixels: the reduced copy is as large as it is shown.
    job.reducedWidth = std::max(1, static_cast<int>(std::lround(photo.width() * zoom)));
    job.reducedHeight = std::max(1, static_cast<int>(std::lround(photo.height() * zoom)));
  }
  current_ = std::move(choice);
  fullCurrent_ = false;
  {
    const std::lock_guard lock(mutex_);
    if (job.reducedWidth > 0) pending_[0] = job;
    pending_[1] = std::move(job);
  }
  wake_.notify_all();
}

void TLivePreview::Drop() {
  ++latest_;
  {
    const std::lock_guard lock(mutex_);
    pending_[0].reset();
    pending_[1].reset();
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
  {
    // The full-size mask kept for the next choice is as large as the photo's bitmap (286 MiB at
    // 100 MP): it is not kept beside the new state and its undo step. A later preview makes it
    // again on the worker, behind the reduced one.
    const std::lock_guard lock(mutex_);
    releaseFullMask_ = true;
  }
  wake_.notify_all();
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
    if (fullCurrent_) return;  // the full result came first
    small_ = std::move(result);
    shown_ = small_.get();
    // The older full result is not shown any more: its block serves the next one.
    Recycle(std::move(front_));
  }
  UpdateView();
  if (!was) emit shownChanged(true);
  emit resultShown(full);
}

void TLivePreview::Recycle(std::shared_ptr<Bitmap> buffer) {
  if (!buffer) return;
  const std::lock_guard lock(mutex_);
  if (!spare_ || spare_->byteCount() < buffer->byteCount()) spare_ = std::move(buffer);
}

// ---- the worker ---------------------------------------------------------------------------------

void TLivePreview::Run(int lane) {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this, lane] {
      return stop_ || pending_[lane].has_value() || (lane == 1 && releaseFullMask_);
    });
    if (stop_) return;
    if (lane == 1 && releaseFullMask_) {
      releaseFullMask_ = false;
      lock.unlock();
      fullMask_.Keep(Choice{}, std::nullopt);
      lock.lock();
      continue;
    }
    const Job job = std::move(*pending_[lane]);
    pending_[lane].reset();
    lock.unlock();
    try {
      if (lane == 0)
        WorkReduced(job);
      else
        WorkFull(job);
    } catch (...) {
      // Out of memory or the like: no preview this time; "Appliquer le masque" reports its own.
    }
    lock.lock();
  }
}

void TLivePreview::Post(const Job& job, std::shared_ptr<Bitmap> result, bool full) {
  QMetaObject::invokeMethod(
      this,
      [this, generation = job.generation, result = std::move(result), full]() mutable {
        Deliver(generation, std::move(result), full);
      },
      Qt::QueuedConnection);
}

const Bitmap* TLivePreview::MaskCache::For(const Choice& choice, int width, int height) const {
  if (!mask || picture != choice.maskPicture || !SameMaskShape(options, choice.mask) ||
      mask->width() != width || mask->height() != height)
    return nullptr;
  return &*mask;
}

const Bitmap* TLivePreview::MaskCache::Keep(const Choice& choice, std::optional<Bitmap> made) {
  picture = choice.maskPicture;
  options = choice.mask;
  mask = std::move(made);
  return mask ? &*mask : nullptr;
}

void TLivePreview::WorkReduced(const Job& job) {
  const Choice& choice = job.choice;
  const Bitmap& photo = *job.source;
  const int w = job.reducedWidth;
  const int h = job.reducedHeight;
  if (reducedSerial_ != job.sourceSerial || reducedPhoto_.width() != w ||
      reducedPhoto_.height() != h) {
    reducedPhoto_ = SampleDown(photo, w, h);
    reducedSerial_ = job.sourceSerial;
  }
  const Bitmap* mask = reducedMask_.For(choice, w, h);
  if (mask == nullptr)
    mask = reducedMask_.Keep(choice, BuildReducedMask(*choice.maskPicture, photo.width(),
                                                      photo.height(), w, h, choice.mask));
  if (mask == nullptr || Stale(job.generation)) return;
  auto small = std::make_shared<Bitmap>(reducedPhoto_);
  ApplyMaskBitmap(*small, *mask, choice.mask.format, choice.blend);
  Post(job, std::move(small), false);
}

void TLivePreview::WorkFull(const Job& job) {
  const Choice& choice = job.choice;
  const Bitmap& photo = *job.source;
  // The very steps of "Appliquer le masque", on a copy: the same pixels.
  const Bitmap* mask = fullMask_.For(choice, photo.width(), photo.height());
  if (mask == nullptr) {
    fullMask_.mask.reset();  // freed before the new one is made
    mask = fullMask_.Keep(
        choice, BuildMaskBitmap(*choice.maskPicture, photo.width(), photo.height(), choice.mask));
  }
  if (mask == nullptr || Stale(job.generation)) return;
  std::shared_ptr<Bitmap> buffer;
  {
    const std::lock_guard lock(mutex_);
    buffer = std::move(spare_);
  }
  if (!buffer) buffer = std::make_shared<Bitmap>();
  buffer->assign(photo);
  if (!Stale(job.generation)) {
    ApplyMaskBitmap(*buffer, *mask, choice.mask.format, choice.blend);
    if (!Stale(job.generation)) {
      Post(job, std::move(buffer), true);
      return;
    }
  }
  Recycle(std::move(buffer));
}

}  // namespace vorlino
