// Opening a large JPEG in two steps: a reduced picture decoded at a fraction of the cost, shown at
// once, and the full picture, decoded as an ordinary open decodes it; both on worker threads.
//
// One load at a time: Start forgets any earlier load, whose pictures are dropped; its full
// decode gives up at its next rows. earlyArrived and fullArrived come through the event loop, only
// for the current load; WaitFull takes the full picture at once, blocking until it is decoded. The
// workers touch nothing but their own job: the window and its view stay on the GUI thread.
#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bitmap/bitmap.h"
#include "imagefile/codec.h"
#include "imagefile/jpeg_quick.h"
#include "imagefile/metadata.h"

namespace vorlino {

class TPictureLoader : public QObject {
  Q_OBJECT

 public:
  // The full decode's outcome: what decodeImageFile gives for the file.
  struct Full {
    CodecResult result = CodecResult::success();
    vorlino::Bitmap picture;
    PhotoMetadata metadata;
  };

  // What the workers of one load share with the window's thread.
  struct Job;

  explicit TPictureLoader(QObject* parent = nullptr);
  // Waits for the workers still running.
  ~TPictureLoader() override;

  // Starts the two decodes of the JPEG fileName, whose outline was read: the reduced picture
  // (the embedded preview first when it has the picture's shape, then the picture reduced by
  // quickReduction), turned by the EXIF orientation; and the whole file as decodeImageFile reads
  // it.
  void Start(const std::string& fileName, JpegOutline outline);
  // A load is started and its full picture not yet taken.
  bool Active() const { return job_ != nullptr; }
  // Hands over the newest reduced picture once earlyArrived has come (false when there is none).
  bool TakeEarly(vorlino::Bitmap& picture);
  // Blocks until the full decode ends and hands its outcome over; the load is then over.
  Full WaitFull();
  // Ends the current load without its pictures.
  void Cancel();

  // For tests: while held, every full decode waits before handing its picture over, so that the
  // reduced picture and the commands issued meanwhile can be watched. Release before the window
  // goes, or before a command waits for a picture.
  static void HoldFullPictures(bool hold);

 signals:
  void earlyArrived();
  void fullArrived();

 private:
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> finished;
  };
  // Runs work on a thread of its own; each call of the announce function it is given emits
  // `arrived` through the event loop, while the job is still the current one.
  void Launch(void (*work)(Job&, const std::function<void()>& announce),
              void (TPictureLoader::*arrived)());
  void JoinFinished();

  std::shared_ptr<Job> job_;
  std::vector<Worker> workers_;
};

}  // namespace vorlino
