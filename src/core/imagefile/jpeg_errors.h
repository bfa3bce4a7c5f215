// libjpeg's error handling as both JPEG readers use it (the whole-picture decoder and the
// row-streaming reader): errors longjmp back to the reader's one guard, warnings that mean missing
// pixel data are errors too, nothing is printed, and endless progressive scans are cut short.
#pragma once

#include <atomic>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace vorlino {

// A progressive file may repeat scans; a few hundred bytes of scans can otherwise keep the
// decoder busy for minutes over a large picture.
inline constexpr int kMaxJpegScans = 1000;

struct JpegError {
  jpeg_error_mgr pub;  // first member: libjpeg hands back a pointer to it
  std::jmp_buf jump;
  int code = 0;
  bool tooManyScans = false;
  // Set by the reader; the decode stops when it turns true (see DecodeLimits::cancelled).
  const std::atomic<bool>* cancel = nullptr;
  bool cancelled = false;
  char message[JMSG_LENGTH_MAX] = {};
};

// Points cinfo at err with the handlers above, and progress at the scan counter. The reader sets
// err.jump with setjmp before any libjpeg call that may fail.
void watchJpegErrors(jpeg_decompress_struct& cinfo, JpegError& err, jpeg_progress_mgr& progress);

// Gives up the decode (longjmp to err.jump) when err.cancel is set and true.
void stopIfCancelled(JpegError& err);

}  // namespace vorlino
