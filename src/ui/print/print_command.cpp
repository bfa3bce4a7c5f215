#include "print/print_command.h"

#include "dialogs/annul_imp.h"
#include "dialogs/impr.h"
#include "print/print_host.h"
#include "print/print_job.h"

namespace vorlino {

void MenuFichierImprimerClick(TImprForm& layout, TAnnulerForm& progress) {
  TPrintHost& host = layout.Host();
  if (host.WorkingBitmap().empty()) return;
  if (!layout.ShowModal()) return;

  struct Busy {
    TPrintHost& host;
    explicit Busy(TPrintHost& h) : host(h) { host.BeginBusy(); }
    ~Busy() { host.EndBusy(); }
  } busy(host);
  // Declared before the guard that hides the progress window, so that a failing job is abandoned
  // after the window has let go of it.
  TPrintJob job(layout.Printer());
  struct HideProgress {
    TAnnulerForm& form;
    ~HideProgress() { form.CloseJob(); }
  } hide{progress};

  progress.BeginJob(job);
  layout.PrintPage(job);
  progress.EndJob();
}

}  // namespace vorlino
