// One print document of one page on a QPrinter: begun, drawn on, then ended or abandoned.
//
// Qt hands a document over only when it ends: a CUPS printer writes a spool file and submits it
// then, a file printer writes its file as it goes. Abandoning therefore means drawing nothing more
// and making sure that nothing is handed over:
// - a CUPS spool file is created in a folder of the job's own (the CUPS library makes its
//   temporary files in $TMPDIR) and removed before the document closes, so that the submission
//   finds no document and the queue keeps nothing to print;
// - a file (PDF) is written under a temporary name next to the chosen one and takes that name only
//   when the job ends normally, so an abandoned job leaves any earlier file as it was.
#pragma once

#include <QPainter>
#include <QString>
#include <memory>

class QPrinter;
class QTemporaryDir;

namespace vorlino {

class TPrintJob {
 public:
  enum TState { jsIdle, jsPrinting, jsEnded, jsAbandoned };

  explicit TPrintJob(QPrinter& printer);
  // Abandons a document still in progress.
  ~TPrintJob();
  TPrintJob(const TPrintJob&) = delete;
  TPrintJob& operator=(const TPrintJob&) = delete;

  // Begins the document. Returns false, beginning nothing, when the job was abandoned before it
  // began; throws std::runtime_error (French message) when the printer cannot start.
  bool Begin();
  // The page's painter while printing; its origin is the printable area's top-left corner.
  QPainter& Painter() { return painter_; }
  TState State() const { return state_; }
  bool Printing() const { return state_ == jsPrinting; }

  // The abort callback, called between parts of the page: lets pending events run (the progress
  // window's cancel button among them) and tells whether the document is still in progress.
  bool KeepResponsive();
  // Abandons the document at once: nothing more is drawn or handed to the printer, and the
  // document counts as ended. Before Begin it makes sure the job never begins.
  void Abandon();
  // Ends the document: a queued printer gets the job, a file takes its final name. Throws
  // std::runtime_error when the document cannot be completed.
  void End();

 private:
  void restorePrinter();

  QPrinter& printer_;
  QPainter painter_;
  TState state_ = jsIdle;
  QString targetFile_;  // the file the printer writes, empty for a queued printer
  QString partFile_;    // where it is written until the job ends
  std::unique_ptr<QTemporaryDir> spoolFolder_;
};

}  // namespace vorlino
