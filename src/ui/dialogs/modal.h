// Modal showing of the program's dialogs, and what they share in look.
//
// Every dialog is shown through ExecModal. Normally that is QDialog::exec; a test installs a hook
// that plays the user (sets fields, clicks a button) on the shown dialog and returns, so no test
// ever waits on a modal loop.
#pragma once

#include <QFont>
#include <QIcon>
#include <functional>

class QDialog;
class QWidget;

namespace vorlino {

// Called with the dialog already shown; whatever it leaves open is then cancelled.
using ModalHook = std::function<void(QDialog&)>;

// Installs hook (an empty one restores the real modal loop); returns the previous one.
ModalHook SetModalHook(ModalHook hook);

// Shows dialog modally and returns its result (QDialog::Accepted or QDialog::Rejected).
int ExecModal(QDialog& dialog);

// The dialogs' face: the platform's default sans-serif face at 11 pixels, the size their fixed
// layouts are drawn for.
QFont DialogFont();

// Glyphs of the dialogs' OK and cancel buttons: a check mark and a cross. The disabled state is
// derived by QIcon (greyed), which gives the two-state glyph.
QIcon OkGlyph();
QIcon CancelGlyph();

// Places a child at fixed client coordinates (left, top, width, height).
void Place(QWidget* widget, int left, int top, int width, int height);
// Places a child whose size follows its contents (an auto-sized label) at left, top.
void PlaceAt(QWidget* widget, int left, int top);

}  // namespace vorlino
