#include "imagefile/jpeg_errors.h"

#include <jerror.h>

namespace vorlino {
namespace {

[[noreturn]] void failJpeg(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<JpegError*>(cinfo->err);
  err->code = err->pub.msg_code;
  (*err->pub.format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

// Warnings are dropped, except those that mean pixel data is missing: end of file reached, or a
// marker met in the middle of entropy-coded data. A picture padded with grey is never handed on.
void onJpegMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;  // trace messages
  const int code = cinfo->err->msg_code;
  if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER) failJpeg(cinfo);
  cinfo->err->num_warnings++;
}

void printNothing(j_common_ptr) {}

void watchScans(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  auto* err = reinterpret_cast<JpegError*>(cinfo->err);
  if (d->input_scan_number > kMaxJpegScans) {
    err->tooManyScans = true;
    std::longjmp(err->jump, 1);
  }
  stopIfCancelled(*err);
}

}  // namespace

void stopIfCancelled(JpegError& err) {
  if (err.cancel == nullptr || !err.cancel->load(std::memory_order_relaxed)) return;
  err.cancelled = true;
  std::longjmp(err.jump, 1);
}

void watchJpegErrors(jpeg_decompress_struct& cinfo, JpegError& err, jpeg_progress_mgr& progress) {
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = failJpeg;
  err.pub.emit_message = onJpegMessage;
  err.pub.output_message = printNothing;
  progress.progress_monitor = watchScans;
}

}  // namespace vorlino
