// The framed result shown while the side panel changes, before "Appliquer le masque" makes it.
//
// The working bitmap, the history and the modification count are never touched: the preview is
// a separate picture that the view shows in place of the working bitmap. The framing runs on a
// worker threads of its own, on a copy of the photo taken at the first change after the document
// last changed; a newer request makes older ones stale (they are dropped at the next step and
// never shown). At a reduced zoom a small copy is framed first, so something shows at once, and
// the full-resolution result follows; that one is the very pixels the commit makes.
#pragma once

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "bitmap/bitmap.h"
#include "compose/mask_build.h"

namespace vorlino {

class TMyImage;

// The state of "Aperçu en direct" when the preferences do not say: on. The window tests set it
// off to run once more as the program behaves without the preview.
bool& LivePreviewDefault();

class TLivePreview : public QObject {
  Q_OBJECT

 public:
  // What the side panel asks for.
  struct Choice {
    std::shared_ptr<const Bitmap> maskPicture;
    MaskOptions mask;
    BlendOptions blend;
  };

  explicit TLivePreview(TMyImage* view, QObject* parent = nullptr);
  ~TLivePreview() override;

  // Off: nothing is computed or shown (whatever is shown is dropped).
  void SetEnabled(bool on);
  bool Enabled() const { return enabled_; }

  // A change in the side panel: frame the working bitmap as `choice` says and show it.
  void Request(Choice choice);
  // The view shows the working bitmap again until the next request (Escape, a commit).
  void Drop();
  // The working bitmap changed (or is about to): drop, and forget the copy of the photo.
  void DocumentChanged();
  // Whether the view shows a preview.
  bool Shown() const { return shown_ != nullptr; }
  // The choice of the last request, while its preview is wanted.
  const std::optional<Choice>& Current() const { return current_; }

  // Before/after: shows `before` (nullptr: the working bitmap) until EndCompare.
  void BeginCompare(const Bitmap* before);
  void EndCompare();
  bool Comparing() const { return comparing_; }

  // The full-resolution result of the last request once it is in the view, else nullptr.
  const Bitmap* FullResult() const;

 signals:
  // A preview appeared in the view or left it.
  void shownChanged(bool shown);
  // A result of the last request is in the view: the reduced one, then the full-resolution one.
  void resultShown(bool full);

 private:
  struct Job {
    std::uint64_t generation = 0;
    std::uint64_t sourceSerial = 0;
    std::shared_ptr<const Bitmap> source;
    Choice choice;
    int reducedWidth = 0;  // 0: no reduced stage
    int reducedHeight = 0;
  };

  // Lane 0 makes the reduced results, lane 1 the full-resolution ones: a quick look never waits
  // behind a full result still in the making.
  void Run(int lane);
  void WorkReduced(const Job& job);
  void WorkFull(const Job& job);
  void Post(const Job& job, std::shared_ptr<Bitmap> result, bool full);
  bool Stale(std::uint64_t generation) const { return generation != latest_.load(); }
  void Deliver(std::uint64_t generation, std::shared_ptr<Bitmap> result, bool full);
  void Recycle(std::shared_ptr<Bitmap> buffer);
  void UpdateView();

  TMyImage* view_;
  bool enabled_ = true;
  std::optional<Choice> current_;
  std::shared_ptr<const Bitmap> source_;  // the photo the previews are made of
  std::uint64_t sourceSerial_ = 0;
  std::shared_ptr<Bitmap> front_;  // the full result in the view
  std::shared_ptr<Bitmap> small_;  // the reduced result in the view
  const Bitmap* shown_ = nullptr;
  bool fullCurrent_ = false;
  bool comparing_ = false;
  const Bitmap* before_ = nullptr;

  // Shared with the worker.
  std::atomic<std::uint64_t> latest_{0};
  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<Job> pending_[2];
  std::shared_ptr<Bitmap> spare_;  // a full-size buffer to reuse
  bool stop_ = false;
  // Set by a document change: the full lane lets its full-size mask go (see DocumentChanged).
  bool releaseFullMask_ = false;
  // The worker's own: the reduced photo of the last source, and the last mask bitmaps made, so
  // that a change of colour or opacity only blends again.
  struct MaskCache {
    std::shared_ptr<const Bitmap> picture;
    MaskOptions options;
    std::optional<Bitmap> mask;
    // The kept mask bitmap when it fits this choice and size, else nullptr.
    const Bitmap* For(const Choice& choice, int width, int height) const;
    const Bitmap* Keep(const Choice& choice, std::optional<Bitmap> made);
  };
  std::uint64_t reducedSerial_ = 0;
  Bitmap reducedPhoto_;
  MaskCache fullMask_;
  MaskCache reducedMask_;
  std::thread workers_[2];
};

}  // namespace vorlino
