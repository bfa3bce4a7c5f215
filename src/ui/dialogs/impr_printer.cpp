// The printer of the print layout dialog: where the page goes.
#include <QPrinter>
#include <QPrinterInfo>

#include "dialogs/impr.h"

namespace vorlino {

std::unique_ptr<QPrinter> TImprForm::MakePdfPrinter() {
  auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer->setOutputFormat(QPrinter::PdfFormat);
  printer->setPageSize(QPageSize(QPageSize::A4));
  return printer;
}

std::unique_ptr<QPrinter> TImprForm::MakeDefaultPrinter() {
  // Only the queue the user made the default: with none, a page silently sent to whichever queue
  // comes first could go to any printer of the network.
  const QPrinterInfo queue = QPrinterInfo::defaultPrinter();
  if (!queue.isNull()) {
    auto printer = std::make_unique<QPrinter>(queue, QPrinter::HighResolution);
    if (printer->outputFormat() == QPrinter::NativeFormat && !printer->printerName().isEmpty())
      return printer;
  }
  return MakePdfPrinter();
}

QString TImprForm::PrinterTargetText() const {
  return PrintsToPdfFile() ? tr("Fichier PDF") : printer_->printerName();
}

void TImprForm::SetPrinter(std::unique_ptr<QPrinter> printer) {
  if (printer) printer_ = std::move(printer);
}

bool TImprForm::PrintsToPdfFile() const {
  return printer_->outputFormat() == QPrinter::PdfFormat;
}

}  // namespace vorlino
