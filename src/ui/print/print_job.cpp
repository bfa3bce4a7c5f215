#include "print/print_job.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <stdexcept>

namespace vorlino {
namespace {

const char* const kCannotBegin =
    QT_TRANSLATE_NOOP("CoreTexts", "L'impression n'a pas pu commencer.");
const char* const kCannotEnd =
    QT_TRANSLATE_NOOP("CoreTexts", "Le document imprimé n'a pas pu être terminé.");

// Sets an environment variable for the lifetime of the object, then puts back what was there.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const QByteArray& value)
      : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
    qputenv(name_, value);
  }
  ~ScopedEnvironment() {
    if (had_)
      qputenv(name_, old_);
    else
      qunsetenv(name_);
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* name_;
  bool had_;
  QByteArray old_;
};

// Creates a new empty file beside target, for the document to be written under until it ends,
// with the mode of a saved picture: that of the file it will replace, else 0666 less the umask.
// Its suffix is not ".pdf", so that naming it does not change the printer's output format. Empty
// when it cannot be created.
QString createPartFile(const QString& target) {
  const QByteArray base = QFile::encodeName(target);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const QByteArray name =
        base + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return {};
    }
    struct stat existing {};
    if (::stat(base.constData(), &existing) == 0 && S_ISREG(existing.st_mode))
      ::fchmod(fd, existing.st_mode & 07777);
    ::close(fd);
    return QFile::decodeName(name);
  }
  return {};
}

}  // namespace

TPrintJob::TPrintJob(QPrinter& printer) : printer_(printer) {}

TPrintJob::~TPrintJob() {
  Abandon();
}

bool TPrintJob::Begin() {
  if (state_ == jsAbandoned) return false;
  if (state_ != jsIdle) throw std::logic_error("print job begun twice");

  targetFile_ = printer_.outputFileName();
  if (!targetFile_.isEmpty()) {
    partFile_ = createPartFile(targetFile_);
    if (partFile_.isEmpty()) throw std::runtime_error(kCannotBegin);
    printer_.setOutputFileName(partFile_);
    if (!painter_.begin(&printer_)) {
      QFile::remove(partFile_);
      restorePrinter();
      throw std::runtime_error(kCannotBegin);
    }
  } else {
    spoolFolder_ = std::make_unique<QTemporaryDir>();
    bool begun = false;
    if (spoolFolder_->isValid()) {
      const ScopedEnvironment tmp("TMPDIR", QFile::encodeName(spoolFolder_->path()));
      begun = painter_.begin(&printer_);
    } else {
      begun = painter_.begin(&printer_);
    }
    if (!begun) {
      spoolFolder_.reset();
      throw std::runtime_error(kCannotBegin);
    }
  }
  state_ = jsPrinting;
  return true;
}

bool TPrintJob::KeepResponsive() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  return state_ == jsPrinting;
}

void TPrintJob::Abandon() {
  if (state_ == jsIdle) {
    state_ = jsAbandoned;
    return;
  }
  if (state_ != jsPrinting) return;
  state_ = jsAbandoned;
  // Where the driver can abandon a document itself, that is all; Qt's own engines cannot, so the
  // document is closed with nothing left for it to hand over.
  if (!printer_.abort() && spoolFolder_ && spoolFolder_->isValid()) {
    const QDir folder(spoolFolder_->path());
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System))
      QFile::remove(folder.filePath(name));
  }
  if (painter_.isActive()) painter_.end();
  if (!partFile_.isEmpty()) QFile::remove(partFile_);
  restorePrinter();
}

void TPrintJob::End() {
  if (state_ != jsPrinting) return;
  state_ = jsEnded;
  const bool ended = painter_.end();
  if (partFile_.isEmpty()) {
    spoolFolder_.reset();
    if (!ended) throw std::runtime_error(kCannotEnd);
    return;
  }
  const QString part = partFile_;
  const QString target = targetFile_;
  restorePrinter();
  bool placed = ended;
  if (placed && QFileInfo::exists(target)) placed = QFile::remove(target);
  if (placed) placed = QFile::rename(part, target);
  if (!placed) {
    QFile::remove(part);
    throw std::runtime_error(kCannotEnd);
  }
}

void TPrintJob::restorePrinter() {
  if (!partFile_.isEmpty()) printer_.setOutputFileName(targetFile_);
  partFile_.clear();
  spoolFolder_.reset();
}

}  // namespace vorlino
