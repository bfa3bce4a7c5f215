// What the program sets on its application object before it makes any window; the tests do the
// same through this function.
#pragma once

namespace vorlino {

// Names the application "Vorlino" and installs the French of Qt's own dialogs. No display name is
// set: the platform would append it to every caption ("Confirmation — Vorlino"), and each window
// keeps exactly the caption it gives itself. Returns false when Qt's French translations are not
// installed on this machine.
bool SetUpApplication();

}  // namespace vorlino
