// The program-wide visual-styles flag and the controls' beep.
//
// The flag is set once at start-up. When it is on, the arrow areas of the spin fields, the
// previous/next buttons and the colour field grow by one pixel on every side, because themed
// arrow parts carry their own one-pixel frame that would otherwise show inside the control.
#pragma once

class QStyle;

namespace vorlino {

bool visualStylesEnabled();
void setVisualStylesEnabled(bool enabled);

// True when the style draws themed native controls (the platform's own theme engine) rather than
// a style of Qt's own drawing. Always false with the styles available on Linux.
bool styleDrawsThemedControls(const QStyle* style);

// The beep of a refused key or a step on a read-only field: QApplication::beep() by default.
// Tests install their own handler to count beeps; setBeepHandler returns the previous one and
// nullptr restores the default.
using BeepHandler = void (*)();
BeepHandler setBeepHandler(BeepHandler handler);
void beep();

}  // namespace vorlino
