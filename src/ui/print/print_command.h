// The print command ("Imprimer...", Ctrl+P, and the print tool button of the main window).
#pragma once

namespace vorlino {

class TAnnulerForm;
class TImprForm;

// Shows the layout dialog modally; when it is accepted, prints the page between the progress
// window's start and finish: TAnnulerForm::BeginJob, TImprForm::PrintPage, TAnnulerForm::EndJob.
// The host's busy state covers the job. Errors of the printing layer propagate to the caller (the
// main window's general error report) after the document is abandoned, the progress window hidden
// and the busy state left. Does nothing for an empty working bitmap.
void MenuFichierImprimerClick(TImprForm& layout, TAnnulerForm& progress);

}  // namespace vorlino
